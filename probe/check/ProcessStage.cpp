#include <algorithm>
#include <cmath>
#include <iterator>

#include "probe/ProcessGuard.h"
#include "probe/ProcessTimer.h"
#include "probe/check/CheckBuffers.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"

namespace {

constexpr double kSampleRates[] = {44100, 48000, 96000};
constexpr int32_t kBlockSizes[] = {1, 64, 512, 4096};
// The other rates audio interfaces offer, each in blocks of 512: a delay line sized for the
// usual rates overruns at 384 kHz.
constexpr double kOtherRates[] = {22050, 88200, 192000, 384000};
// Sizes a host gives when it splits blocks at automation points or loop ends: none of the
// fixed ones, up to the largest announced.
constexpr int32_t kVaryingSizes[] = {100, 17, 333, 4096, 1000, 2049, 7, 512, 1};
constexpr int32_t kLargestBlock = 4096;
constexpr double kRunSeconds = 0.1;
constexpr int64_t kMostBlocksASetting = 128;
// A tail is measured up to this many seconds after the input ends, processed as fast as the
// plug-in goes; the output must stay silent this long, or as long as the tail it announces, to
// have died away.
constexpr double kLongestMeasuredTail = 30;
constexpr double kLeastQuietSeconds = 2;

void NotesFor(const CCheck& check, CCheckBlock& block, int64_t length)
{
    block.noteOn = block.noteOff = -1;
    if (!check.layout.takesNotes) return;
    // A note through the impulse and the noise: on at the run's third, off at its last sixth.
    const int64_t on = length / 3, off = length - length / 6;
    if (on >= block.position && on < block.position + block.frames) block.noteOn = static_cast<int32_t>(on - block.position);
    if (off >= block.position && off < block.position + block.frames) block.noteOff = static_cast<int32_t>(off - block.position);
}

// One setting: activated, a short run, deactivated. False, with the stage failed, when the
// plug-in refused or erred.
bool RunSetting(CCheck& check, const CSetting& setting)
{
    const std::u16string label = CCheck::SettingText(setting);
    check.Say(u"process at " + label);
    const int32_t largest = setting.block == 0 ? kLargestBlock : setting.block;
    check.SetCheckProcessing(setting.rate, largest);
    std::u16string error;
    if (!check.plugin.Activate(setting.rate, largest, setting.use64, error))
        return check.Stage(u"process", u"failed", u"activation failed at " + label + (error.empty() ? u"" : u": " + error));
    TakeProcessBack();
    LogInfo(u"Processing...\n");
    // Tiny blocks run fewer samples: what a plug-in does on each call (a line it prints, a
    // look at the host's clock) would otherwise take the check's time.
    const int64_t length = std::max<int64_t>(
        std::min<int64_t>(static_cast<int64_t>(kRunSeconds * setting.rate), kMostBlocksASetting * int64_t{largest}), 3 * largest);
    CBuffers buffers(check.layout, largest);
    CCheckBlock block;
    block.use64 = setting.use64;
    buffers.Point(block);
    COutputWatch watch;
    const bool first = check.passed.empty();
    const bool processed = check.RunAudio(
        [&] {
            uint32_t noise = 1;
            size_t next = 0;
            for (int64_t position = 0; position < length;) {
                const int32_t size = setting.block != 0 ? setting.block : kVaryingSizes[next++ % std::size(kVaryingSizes)];
                block.frames = static_cast<int32_t>(std::min<int64_t>(size, length - position));
                block.position = position;
                NotesFor(check, block, length);
                buffers.Fill(block, position, length, noise);
                if (!check.Process(block, error)) return false;
                buffers.Watch(block, watch);
                // The first third of the first setting is silence, without a note, and the plug-in
                // has never had input: what comes out then is its own. Later ringing is of earlier input.
                if (first && position + block.frames <= length / 3 && !check.layout.takesNotes) buffers.Watch(block, check.beforeInput);
                position += block.frames;
            }
            return true;
        },
        error);
    check.plugin.Deactivate();
    TakeProcessBack();
    check.Note(watch, label);
    if (!processed) return check.Stage(u"process", u"failed", u"process failed at " + label + (error.empty() ? u"" : u": " + error));
    return true;
}

// Silence, and a note's end, until the output has stayed below -120 dBFS long enough to have
// died away (a delay's echoes come back after a pause), or up to a bound: a tail is measured,
// whatever the plug-in announces. On the audio thread.
bool TailRun(CCheck& check, CBuffers& buffers, CCheckBlock& block, int64_t position, std::u16string& error)
{
    const int64_t inputEnd = position;
    const int64_t bound = inputEnd + static_cast<int64_t>(kLongestMeasuredTail * kLoadRate);
    CCheckResult& result = check.result;
    const double announced = result.announcedTail > 0 ? std::min(result.announcedTail, kLongestMeasuredTail) : 0;
    const int64_t quietEnough = static_cast<int64_t>(std::max(kLeastQuietSeconds, announced) * kLoadRate) +
                                std::min<int64_t>(check.latency, static_cast<int64_t>(kLongestMeasuredTail * kLoadRate));
    COutputWatch decay, lastSecond;
    std::vector<COutputWatch> lastSecondByChannel;
    lastSecond.range = true;
    decay.lastLoud = inputEnd - 1;
    bool processed = true;
    while (processed && position < bound && position - (decay.lastLoud + 1) < quietEnough) {
        buffers.Silence(kLoadBlock);
        block.position = position;
        block.noteOn = -1;
        block.noteOff = position == inputEnd && check.layout.takesNotes ? 0 : -1;
        processed = check.Process(block, error);
        buffers.Watch(block, decay);
        if (position >= bound - static_cast<int64_t>(kLoadRate)) {
            buffers.Watch(block, lastSecond);
            buffers.WatchEach(block, lastSecondByChannel);
        }
        position += kLoadBlock;
    }
    check.Note(decay, CCheck::SettingText({kLoadRate, kLoadBlock, false}) + u", tail");
    if (!processed) return false;
    if (position - (decay.lastLoud + 1) < quietEnough && lastSecond.peak > kSilentLevel) {
        // A channel that holds one level is a DC offset, whatever the others do.
        for (size_t c = 0; c < lastSecondByChannel.size(); ++c) {
            const COutputWatch& channel = lastSecondByChannel[c];
            if (channel.peak > kSilentLevel && channel.Steady()) {
                check.decayProblem = FormatString(u"output channel %u holds a constant level of ", static_cast<unsigned>(c + 1)) +
                                     Decimal(0.5 * (channel.lowest + channel.highest), 4) + u" (" +
                                     Decimal(20 * std::log10(channel.peak), 1) + u" dBFS) after the input ends: a DC offset";
                return true;
            }
        }
        // A plug-in that sounded before it ever had input, and sounds on, is a source of its
        // own (a noise generator, an oscillator): its sound is not a tail that fails to end.
        if (check.beforeInput.peak > kSilentLevel && !lastSecond.Steady()) {
            check.generatorNote = u"it makes sound of its own without input, at " +
                                  Decimal(20 * std::log10(std::max(lastSecond.peak, 1e-12)), 1) + u" dBFS";
            return true;
        }
        // Never silent: a DC offset, a hum, endless noise. Its length is not a tail.
        check.decayProblem = u"the output never falls below -120 dBFS within " + Decimal(kLongestMeasuredTail, 0) +
                             u" s after the input ends: it stays at " +
                             Decimal(20 * std::log10(std::max(lastSecond.peak, 1e-12)), 1) + u" dBFS";
        return true;
    }
    result.tailSeconds = static_cast<double>(decay.lastLoud + 1 - inputEnd) / kLoadRate;
    return true;
}

// At 48 kHz in blocks of 512: the load, timed over the process calls alone; then silence until
// the output has died away, as a step of its own in the trace.
bool TimedRun(CCheck& check)
{
    const CSetting setting{kLoadRate, kLoadBlock, false};
    const std::u16string label = CCheck::SettingText(setting) + u", timed";
    check.Say(u"process at " + label);
    check.SetCheckProcessing(kLoadRate, kLoadBlock);
    std::u16string error;
    CCheckedPlugin& plugin = check.plugin;
    CCheckResult& result = check.result;
    if (!plugin.Activate(kLoadRate, kLoadBlock, false, error))
        return check.Stage(u"process", u"failed", u"activation failed at " + label + (error.empty() ? u"" : u": " + error));
    check.latency = plugin.LatencySamples();
    check.tail = plugin.TailSamples();
    TakeProcessBack();
    result.latency = check.latency > INT32_MAX ? kUnknownFact : static_cast<int32_t>(check.latency);
    if (check.latency > INT32_MAX) check.latency = 0;
    LogInfo(u"Processing...\n");
    if (check.tail < kTailUnknown) result.announcedTail = check.tail / kLoadRate;

    CBuffers buffers(check.layout, kLoadBlock);
    CCheckBlock block;
    buffers.Point(block);
    block.frames = kLoadBlock;
    COutputWatch watch;
    bool timed = false, ran = false;
    const bool processed = check.RunAudio(
        [&] {
            const int64_t second = static_cast<int64_t>(kLoadRate);
            uint32_t noise = 1;
            CProcessTimer timer;
            int seconds = 0;
            int64_t position = 0;
            while (!timer.Enough(seconds)) {
                for (int64_t start = 0; start < second; start += kLoadBlock) {
                    block.position = position;
                    block.noteOn = position == 0 && check.layout.takesNotes ? 0 : -1;
                    block.noteOff = -1;
                    buffers.Fill(block, start + second, 2 * second, noise);  // noise all through
                    const bool done = check.Process(block, error, &timer);
                    if (!done) return false;
                    buffers.Watch(block, watch);
                    position += kLoadBlock;
                }
                ++seconds;
            }
            result.load = timer.Load(seconds);
            timed = true;
            check.Note(watch, label);
            // The tail is named in the trace from here, on the main thread's behalf.
            LogInfo(u"Check stage: process at %s, tail\n", CCheck::SettingText(setting).c_str());
            ran = TailRun(check, buffers, block, position, error);
            return ran;
        },
        error);
    if (!timed) check.Note(watch, label);
    plugin.Deactivate();
    TakeProcessBack();
    check.SetCheckProcessing(0, 0);
    if (!processed) return check.Stage(u"process", u"failed", u"process failed at " + label + (error.empty() ? u"" : u": " + error));
    return true;
}

// The rates and sizes that passed: run, and with no setting of theirs failed.
void Facts(CCheck& check, const CSetting& failed)
{
    std::u16string rates, blocks;
    auto ran = [&](auto matches) { return std::any_of(check.passed.begin(), check.passed.end(), matches); };
    std::vector<double> all(std::begin(kSampleRates), std::end(kSampleRates));
    all.insert(all.end(), std::begin(kOtherRates), std::end(kOtherRates));
    std::sort(all.begin(), all.end());
    for (double rate : all)
        if (rate != failed.rate && ran([&](const CSetting& s) { return s.rate == rate; }))
            rates += (rates.empty() ? u"" : u"|") + FormatString(u"%i", static_cast<int32_t>(rate));
    for (int32_t block : kBlockSizes)
        if (block != failed.block && ran([&](const CSetting& s) { return s.block == block; }))
            blocks += (blocks.empty() ? u"" : u"|") + FormatString(u"%i", block);
    if (failed.block != 0 && ran([](const CSetting& s) { return s.block == 0; })) blocks += u"|varying";
    check.result.sampleRates = rates;
    check.result.blockSizes = blocks;
}

}  // namespace

bool ProcessStage(CCheck& check)
{
    std::vector<CSetting> settings;
    for (double rate : kSampleRates)
        for (int32_t block : kBlockSizes) settings.push_back({rate, block, false});
    settings.push_back({48000, 0, false});
    if (check.layout.audio64) settings.push_back({48000, 512, true});
    for (double rate : kOtherRates) settings.push_back({rate, 512, false});
    for (const CSetting& setting : settings) {
        if (!RunSetting(check, setting)) {
            Facts(check, setting);
            return false;
        }
        check.passed.push_back(setting);
    }
    Facts(check, {0, -1, false});
    if (!TimedRun(check)) return false;
    return check.Stage(u"process", u"passed",
                       FormatString(u"%i settings: 22050, 44100, 48000, 88200, 96000, 192000 and 384000 Hz; blocks of 1, 64, "
                                    u"512, 4096 and of varying sizes up to 4096%s",
                                    static_cast<int32_t>(settings.size() + 1), check.layout.audio64 ? u"; 64-bit samples too" : u""));
}
