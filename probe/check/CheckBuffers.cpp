#include "probe/check/CheckBuffers.h"

#include <algorithm>

namespace {

constexpr int32_t kGuardLooked = 64;

template <typename Sample>
bool Overran(const std::vector<Sample*>& channels, int32_t capacity)
{
    for (const Sample* channel : channels)
        for (int32_t i = 0; i < kGuardLooked; ++i)
            if (channel[capacity + i] != static_cast<Sample>(kGuardValue)) return true;
    return false;
}

template <typename Sample>
void Guarded(std::vector<std::vector<Sample>>& channels, size_t count, int32_t frames)
{
    channels.assign(count, std::vector<Sample>(static_cast<size_t>(frames) + kBufferGuard, static_cast<Sample>(kGuardValue)));
    for (auto& channel : channels) std::fill(channel.begin(), channel.begin() + frames, Sample{0});
}

}  // namespace

bool WrotePastBuffers(const CCheckBlock& block)
{
    if (block.capacity <= 0) return false;
    if (block.use64) return Overran(block.inputs64, block.capacity) || Overran(block.outputs64, block.capacity);
    return Overran(block.inputs32, block.capacity) || Overran(block.outputs32, block.capacity);
}

CBuffers::CBuffers(const CPluginLayout& layout, int32_t frames) : frames(frames)
{
    int32_t inputs = 0, outputs = 0;
    for (int32_t channels : layout.inputs) inputs += std::max(channels, 0);
    for (int32_t channels : layout.outputs) outputs += std::max(channels, 0);
    Guarded(in32, inputs, frames);
    Guarded(out32, outputs, frames);
    Guarded(in64, inputs, frames);
    Guarded(out64, outputs, frames);
}

void CBuffers::Point(CCheckBlock& block)
{
    block.capacity = frames;
    block.inputs32.clear(), block.outputs32.clear(), block.inputs64.clear(), block.outputs64.clear();
    for (auto& c : in32) block.inputs32.push_back(c.data());
    for (auto& c : out32) block.outputs32.push_back(c.data());
    for (auto& c : in64) block.inputs64.push_back(c.data());
    for (auto& c : out64) block.outputs64.push_back(c.data());
}

void CBuffers::Fill(const CCheckBlock& block, int64_t position, int64_t length, uint32_t& noise)
{
    for (int32_t i = 0; i < block.frames; ++i) {
        const double sample = RunInput(position + i, length, noise);
        for (auto& c : in32) c[i] = static_cast<float>(sample);
        for (auto& c : in64) c[i] = sample;
    }
    for (auto& c : out32) std::fill(c.begin(), c.begin() + block.frames, 0.0f);
    for (auto& c : out64) std::fill(c.begin(), c.begin() + block.frames, 0.0);
}

void CBuffers::Silence(int32_t frames)
{
    for (auto& c : in32) std::fill(c.begin(), c.begin() + frames, 0.0f);
    for (auto& c : in64) std::fill(c.begin(), c.begin() + frames, 0.0);
}

void CBuffers::WatchEach(const CCheckBlock& block, std::vector<COutputWatch>& watches) const
{
    const size_t count = block.use64 ? out64.size() : out32.size();
    if (watches.size() != count) {
        watches.assign(count, {});
        for (COutputWatch& watch : watches) watch.range = true;
    }
    for (size_t c = 0; c < count; ++c) {
        if (block.use64) WatchOutput(out64[c].data(), block.frames, block.position, watches[c]);
        else WatchOutput(out32[c].data(), block.frames, block.position, watches[c]);
    }
}

void CBuffers::Watch(const CCheckBlock& block, COutputWatch& watch) const
{
    if (block.use64)
        for (const auto& c : out64) WatchOutput(c.data(), block.frames, block.position, watch);
    else
        for (const auto& c : out32) WatchOutput(c.data(), block.frames, block.position, watch);
}
