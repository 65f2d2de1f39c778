#include <algorithm>
#include <cmath>
#include <iterator>

#include "probe/ProcessGuard.h"
#include "probe/StateValues.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"

namespace {

// Where automation points fall in a block of 512: at its start and inside it, as a host's
// automation curves and a sequencer's edits land.
constexpr int32_t kPointOffsets[] = {0, 127, 301, 511};
constexpr int32_t kAutomatedBlocks = 16;
constexpr int32_t kRandomBlocks = 32;

double Between(const CParameterInfo& info, double share)
{
    if (info.steps > 0) share = std::round(share * info.steps) / info.steps;
    return info.minimum + share * (info.maximum - info.minimum);
}

// A value anywhere in its range, of its steps when it has them.
double RandomValue(const CParameterInfo& info, uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return Between(info, static_cast<double>(seed >> 8) / (1u << 24));
}

// Runs `blocks` blocks of noise with the points `pointsOf` gives each, on the audio thread.
template <typename Points>
bool RunBlocks(CCheck& check, int32_t blocks, const Points& pointsOf, COutputWatch& watch, std::u16string& error)
{
    CBuffers buffers(check.layout, kLoadBlock);
    CCheckBlock block;
    buffers.Point(block);
    block.frames = kLoadBlock;
    return check.RunAudio(
        [&] {
            uint32_t noise = 1;
            for (int32_t k = 0; k < blocks; ++k) {
                block.position = int64_t{k} * kLoadBlock;
                if (check.layout.takesNotes) buffers.Silence(kLoadBlock);
                else buffers.FillNoise(block, noise);
                block.noteOn = k == 0 && check.layout.takesNotes ? 0 : -1;
                block.noteOff = k == blocks - 1 && check.layout.takesNotes ? kLoadBlock - 1 : -1;
                block.points = pointsOf(k);
                const bool processed = check.Process(block, error);
                block.points.clear();
                if (!processed) return false;
                buffers.Watch(block, watch);
            }
            return true;
        },
        error);
}

}  // namespace

// Automation as a session plays it: every parameter a host shows moves inside blocks, at
// sample offsets, then takes random values block after block, then its default again.
bool AutomationStage(CCheck& check)
{
    const std::vector<int32_t> shown = check.ShownParameters();
    if (shown.empty()) {
        check.Say(u"automation");
        return check.Stage(u"automation", u"skipped", u"it has no parameters a host automates");
    }
    const std::u16string setting = CCheck::SettingText({kLoadRate, kLoadBlock, false});
    check.Say(u"automation at " + setting);
    check.SetCheckProcessing(kLoadRate, kLoadBlock);
    std::u16string error;
    if (!check.plugin.Activate(kLoadRate, kLoadBlock, false, error)) {
        TakeProcessBack();
        return check.Stage(u"automation", u"skipped", u"it did not activate" + (error.empty() ? u"" : u": " + error));
    }
    TakeProcessBack();
    const auto end = [&](const char16_t* outcome, const std::u16string& details) {
        check.plugin.Deactivate();
        TakeProcessBack();
        check.SetCheckProcessing(0, 0);
        return check.Stage(u"automation", outcome, details);
    };

    // Each parameter sweeps between its ends at the offsets, block after block.
    COutputWatch automated;
    const auto sweep = [&](int32_t k) {
        std::vector<CParameterPoint> points;
        for (int32_t at = 0; at < static_cast<int32_t>(std::size(kPointOffsets)); ++at) {
            const double share = ((k + at) % 4) / 3.0;
            for (int32_t index : shown) points.push_back({index, kPointOffsets[at], Between(check.infos[index], share)});
        }
        return points;
    };
    if (!RunBlocks(check, kAutomatedBlocks, sweep, automated, error))
        return end(u"failed", u"process failed with automation inside blocks" + (error.empty() ? u"" : u": " + error));
    if (automated.nonFinite) return end(u"failed", u"NaN or infinity in the output with automation inside blocks");

    check.Say(u"random parameter values at " + setting);
    check.SetCheckProcessing(kLoadRate, kLoadBlock);
    uint32_t seed = StateSeed(check.infos);
    const uint32_t firstSeed = seed;
    COutputWatch random;
    const auto randomly = [&](int32_t k) {
        std::vector<CParameterPoint> points;
        for (int32_t index : shown) {
            const CParameterInfo& info = check.infos[index];
            points.push_back({index, 0, k + 1 < kRandomBlocks ? RandomValue(info, seed) : info.defaultValue});
        }
        return points;
    };
    if (!RunBlocks(check, kRandomBlocks, randomly, random, error))
        return end(u"failed", FormatString(u"process failed with random parameter values (seed %u)", firstSeed) +
                                  (error.empty() ? u"" : u": " + error));
    if (random.nonFinite)
        return end(u"failed", FormatString(u"NaN or infinity in the output with random parameter values (seed %u)", firstSeed));
    return end(u"passed", FormatString(u"%u parameters moved at offsets 0, 127, 301 and 511 of blocks of 512, then given random "
                                       u"values in %i blocks",
                                       static_cast<unsigned>(shown.size()), kRandomBlocks));
}
