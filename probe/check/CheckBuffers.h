#pragma once
// The buffers of one run: every channel of every bus, inputs and outputs, of both sample sizes,
// filled with the check's input and watched as they come back.
#include <cstdint>
#include <vector>

#include "probe/CheckAudio.h"
#include "probe/CheckedPlugin.h"

// Each channel is followed by a guard of a largest block's length, filled with a value no
// plug-in writes: one that writes past what it was given damages no memory of the host's, and
// is caught.
constexpr int32_t kBufferGuard = 4096;
constexpr float kGuardValue = -31337.25f;
// Whether a plug-in wrote into the guard of a channel of the block; the first samples tell.
bool WrotePastBuffers(const CCheckBlock& block);

class CBuffers {
public:
    CBuffers(const CPluginLayout& layout, int32_t frames);
    // Points the block at these buffers.
    void Point(CCheckBlock& block);
    // Fills the inputs for the block at `position` of a run of `length` samples, clears the outputs.
    void Fill(const CCheckBlock& block, int64_t position, int64_t length, uint32_t& noise);
    // Noise at -6 dBFS all through the block, outputs cleared.
    void FillNoise(const CCheckBlock& block, uint32_t& noise) { Fill(block, 2, 3, noise); }
    void Silence(int32_t frames);
    // Each output channel on its own, its range watched too.
    void WatchEach(const CCheckBlock& block, std::vector<COutputWatch>& watches) const;
    void Watch(const CCheckBlock& block, COutputWatch& watch) const;

private:
    int32_t frames;
    std::vector<std::vector<float>> in32, out32;
    std::vector<std::vector<double>> in64, out64;
};
