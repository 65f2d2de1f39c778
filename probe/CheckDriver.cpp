#include "probe/CheckDriver.h"

#include <algorithm>
#include <cmath>

#include "probe/CheckAudio.h"
#include "probe/EditorWindow.h"
#include "probe/FloatEnvironment.h"
#include "probe/ProcessGuard.h"
#include "probe/ProcessTimer.h"
#include "probe/ProbeState.h"
#include "probe/StateValues.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "report/CheckReport.h"

namespace {

constexpr double kSampleRates[] = {44100, 48000, 96000};
constexpr int32_t kBlockSizes[] = {1, 64, 512, 4096};
// Sizes a host gives when it splits blocks at automation points or loop ends: none of the
// fixed ones, up to the largest announced.
constexpr int32_t kVaryingSizes[] = {100, 17, 333, 4096, 1000, 2049, 7, 512, 1};
constexpr int32_t kLargestBlock = 4096;
constexpr double kRunSeconds = 0.1;
constexpr int64_t kMostBlocksASetting = 128;
constexpr double kLoadRate = 48000;
constexpr int32_t kLoadBlock = 512;
// A tail is measured up to this many seconds after the input ends, processed as fast as the
// plug-in goes; the output must stay silent this long, or as long as the tail it announces, to
// have died away.
constexpr double kLongestMeasuredTail = 30;
constexpr double kLeastQuietSeconds = 2;
constexpr double kTailSlack = 0.05;  // a measured tail within this of the announced one is the same
constexpr int32_t kParameterBlock = 64;
constexpr double kEditorSeconds = 0.5;
constexpr size_t kMostCheckedBuses = 64;
// A multi-output sampler has a hundred channels and more (2 main + 48 stereo direct outs).
constexpr int32_t kMostCheckedChannels = 256;
constexpr int64_t kMostCheckedChannelsInAll = 1024;  // each way, over every bus

std::u16string Decimal(double value, int decimals) { return FormatDecimal(value, decimals); }

struct CSetting {
    double rate;
    int32_t block;   // 0: the varying sizes
    bool use64;
};

std::u16string SettingText(const CSetting& setting)
{
    std::u16string text = FormatString(u"%i Hz, ", static_cast<int32_t>(setting.rate));
    text += setting.block == 0 ? u"blocks of varying sizes" : FormatString(u"blocks of %i", setting.block);
    if (setting.use64) text += u", 64-bit";
    return text;
}

// The buffers of one run: every channel of every bus, inputs and outputs, of both sample sizes.
class CBuffers {
public:
    CBuffers(const CPluginLayout& layout, int32_t frames)
    {
        int32_t inputs = 0, outputs = 0;
        for (int32_t channels : layout.inputs) inputs += std::max(channels, 0);
        for (int32_t channels : layout.outputs) outputs += std::max(channels, 0);
        in32.assign(inputs, std::vector<float>(frames));
        out32.assign(outputs, std::vector<float>(frames));
        in64.assign(inputs, std::vector<double>(frames));
        out64.assign(outputs, std::vector<double>(frames));
    }
    void Point(CCheckBlock& block)
    {
        block.inputs32.clear(), block.outputs32.clear(), block.inputs64.clear(), block.outputs64.clear();
        for (auto& c : in32) block.inputs32.push_back(c.data());
        for (auto& c : out32) block.outputs32.push_back(c.data());
        for (auto& c : in64) block.inputs64.push_back(c.data());
        for (auto& c : out64) block.outputs64.push_back(c.data());
    }
    // Fills the inputs for the block at `position` of a run of `length` samples, clears the outputs.
    void Fill(const CCheckBlock& block, int64_t position, int64_t length, uint32_t& noise)
    {
        for (int32_t i = 0; i < block.frames; ++i) {
            const double sample = RunInput(position + i, length, noise);
            for (auto& c : in32) c[i] = static_cast<float>(sample);
            for (auto& c : in64) c[i] = sample;
        }
        for (auto& c : out32) std::fill(c.begin(), c.begin() + block.frames, 0.0f);
        for (auto& c : out64) std::fill(c.begin(), c.begin() + block.frames, 0.0);
    }
    void Silence(int32_t frames)
    {
        for (auto& c : in32) std::fill(c.begin(), c.begin() + frames, 0.0f);
        for (auto& c : in64) std::fill(c.begin(), c.begin() + frames, 0.0);
    }
    // Each output channel on its own, its range watched too.
    void WatchEach(const CCheckBlock& block, std::vector<COutputWatch>& watches) const
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
    void Watch(const CCheckBlock& block, COutputWatch& watch) const
    {
        if (block.use64)
            for (const auto& c : out64) WatchOutput(c.data(), block.frames, block.position, watch);
        else
            for (const auto& c : out32) WatchOutput(c.data(), block.frames, block.position, watch);
    }

private:
    std::vector<std::vector<float>> in32, out32;
    std::vector<std::vector<double>> in64, out64;
};

class CCheck {
public:
    CCheck(CCheckedPlugin& plugin, bool withEditor, CCheckResult& result)
        : plugin(plugin), withEditor(withEditor), result(result)
    {
    }

    void Run()
    {
        if (Open() && ProcessAll() && JudgeAudio() && Parameters() && State() && Editor()) {
            Close();
        } else {
            // A check that stopped early still tears the plug-in down, before the report ends.
            Say(u"close");
            plugin.Close();
            TakeProcessBack();
        }
        FinishCheckReport(result);
    }

private:
    void Say(const std::u16string& stage)
    {
        LogInfo(u"Check stage: %s\n", stage.c_str());
        SetCheckProcessing(0, 0);
    }
    bool Stage(const char16_t* name, const char16_t* outcome, const std::u16string& details)
    {
        ReportCheckStage(result, {name, outcome, details});
        TakeProcessBack();
        return std::u16string(outcome) != u"failed";
    }
    static void SetCheckProcessing(double rate, int32_t block)
    {
        CheckSampleRate = rate;
        CheckBlockSize = block;
    }

    bool Open()
    {
        Say(u"open");
        std::u16string error;
        const bool opened = plugin.Open(error);
        TakeProcessBack();
        if (!opened) return Stage(u"open", u"failed", error);
        layout = plugin.Layout();
        TakeProcessBack();
        // Buffers are made for what the plug-in claims: an absurd claim is no layout to run.
        for (const std::vector<int32_t>* buses : {&layout.inputs, &layout.outputs}) {
            if (buses->size() > kMostCheckedBuses)
                return Stage(u"open", u"failed", FormatString(u"it claims %u audio buses; the check runs up to %u",
                                                              static_cast<unsigned>(buses->size()), static_cast<unsigned>(kMostCheckedBuses)));
            int64_t inAll = 0;
            for (int32_t channels : *buses) {
                if (channels < 0 || channels > kMostCheckedChannels)
                    return Stage(u"open", u"failed", FormatString(u"a bus of %i channels; the check runs up to %i", channels,
                                                                  kMostCheckedChannels));
                inAll += channels;
            }
            if (inAll > kMostCheckedChannelsInAll)
                return Stage(u"open", u"failed", FormatString(u"%u channels on its buses; the check runs up to %u",
                                                              static_cast<unsigned>(inAll), static_cast<unsigned>(kMostCheckedChannelsInAll)));
        }
        result.audio64 = layout.audio64;
        result.editor = layout.editor;
        result.midiIn = layout.takesNotes;
        result.midiOut = layout.sendsNotes;
        return Stage(u"open", u"passed", FormatString(u"%i audio inputs and %i outputs in %i and %i buses%s",
                                                      Channels(layout.inputs), Channels(layout.outputs),
                                                      static_cast<int32_t>(layout.inputs.size()),
                                                      static_cast<int32_t>(layout.outputs.size()),
                                                      layout.instrument                              ? u"; an instrument"
                                                      : layout.takesNotes && layout.outputs.empty() ? u"; a MIDI effect"
                                                      : layout.takesNotes                           ? u"; takes notes"
                                                                                                    : u""));
    }
    static int32_t Channels(const std::vector<int32_t>& buses)
    {
        int32_t total = 0;
        for (int32_t channels : buses) total += std::max(channels, 0);
        return total;
    }

    // One setting: activated, a short run, deactivated. False, with the stage failed, when the
    // plug-in refused or erred.
    bool RunSetting(const CSetting& setting)
    {
        const std::u16string label = SettingText(setting);
        Say(u"process at " + label);
        SetCheckProcessing(setting.rate, setting.block == 0 ? kLargestBlock : setting.block);
        std::u16string error;
        const int32_t largest = setting.block == 0 ? kLargestBlock : setting.block;
        if (!plugin.Activate(setting.rate, largest, setting.use64, error))
            return Stage(u"process", u"failed", u"activation failed at " + label + (error.empty() ? u"" : u": " + error));
        TakeProcessBack();
        LogInfo(u"Processing...\n");
        // Tiny blocks run fewer samples: what a plug-in does on each call (a line it prints, a
        // look at the host's clock) would otherwise take the check's time.
        const int64_t length = std::max<int64_t>(std::min<int64_t>(static_cast<int64_t>(kRunSeconds * setting.rate),
                                                                   kMostBlocksASetting * int64_t{largest}),
                                                 3 * largest);
        CBuffers buffers(layout, largest);
        CCheckBlock block;
        block.use64 = setting.use64;
        buffers.Point(block);
        COutputWatch watch;
        uint32_t noise = 1;
        size_t next = 0;
        bool processed = true;
        for (int64_t position = 0; position < length && processed;) {
            const int32_t size = setting.block != 0 ? setting.block : kVaryingSizes[next++ % std::size(kVaryingSizes)];
            block.frames = static_cast<int32_t>(std::min<int64_t>(size, length - position));
            block.position = position;
            NotesFor(block, length);
            buffers.Fill(block, position, length, noise);
            processed = Process(block, error);
            buffers.Watch(block, watch);
            // The first third of the first setting is silence, without a note, and the plug-in has
            // never had input: what comes out then is its own. Later ringing is of earlier input.
            if (passed.empty() && position + block.frames <= length / 3 && !layout.takesNotes) buffers.Watch(block, beforeInput);
            position += block.frames;
        }
        TakeProcessBack();
        plugin.Deactivate();
        TakeProcessBack();
        Note(watch, label);
        if (!processed) return Stage(u"process", u"failed", u"process failed at " + label + (error.empty() ? u"" : u": " + error));
        return true;
    }
    void NotesFor(CCheckBlock& block, int64_t length)
    {
        block.noteOn = block.noteOff = -1;
        if (!layout.takesNotes) return;
        // A note through the impulse and the noise: on at the run's third, off at its last sixth.
        const int64_t on = length / 3, off = length - length / 6;
        if (on >= block.position && on < block.position + block.frames) block.noteOn = static_cast<int32_t>(on - block.position);
        if (off >= block.position && off < block.position + block.frames) block.noteOff = static_cast<int32_t>(off - block.position);
    }
    void Note(const COutputWatch& watch, const std::u16string& label)
    {
        if (watch.nonFinite && nonFiniteAt.empty()) nonFiniteAt = label;
        if (watch.denormals > 0 && denormalsAt.empty()) denormalsAt = label;
        denormals += watch.denormals;
        peak = std::max(peak, watch.peak);
    }

    bool ProcessAll()
    {
        std::vector<CSetting> settings;
        for (double rate : kSampleRates)
            for (int32_t block : kBlockSizes) settings.push_back({rate, block, false});
        settings.push_back({48000, 0, false});
        if (layout.audio64) settings.push_back({48000, 512, true});
        for (const CSetting& setting : settings) {
            if (!RunSetting(setting)) {
                Facts(setting);
                return false;
            }
            passed.push_back(setting);
        }
        Facts({0, -1, false});
        if (!TimedRun()) return false;
        return Stage(u"process", u"passed",
                     FormatString(u"%i settings: 44100, 48000 and 96000 Hz; blocks of 1, 64, 512, 4096 and of varying sizes up to 4096%s",
                                  static_cast<int32_t>(settings.size() + 1), layout.audio64 ? u"; 64-bit samples too" : u""));
    }
    // The rates and sizes that passed: run, and with no setting of theirs failed.
    void Facts(const CSetting& failed)
    {
        std::u16string rates, blocks;
        auto ran = [&](auto matches) { return std::any_of(passed.begin(), passed.end(), matches); };
        for (double rate : kSampleRates)
            if (rate != failed.rate && ran([&](const CSetting& s) { return s.rate == rate; }))
                rates += (rates.empty() ? u"" : u"|") + FormatString(u"%i", static_cast<int32_t>(rate));
        for (int32_t block : kBlockSizes)
            if (block != failed.block && ran([&](const CSetting& s) { return s.block == block; }))
                blocks += (blocks.empty() ? u"" : u"|") + FormatString(u"%i", block);
        if (failed.block != 0 && ran([](const CSetting& s) { return s.block == 0; })) blocks += u"|varying";
        result.sampleRates = rates;
        result.blockSizes = blocks;
    }

    // At 48 kHz in blocks of 512: the load, timed over the process calls alone; then silence
    // until the output has died away, as a stage line of its own.
    bool TimedRun()
    {
        const CSetting setting{kLoadRate, kLoadBlock, false};
        const std::u16string label = SettingText(setting) + u", timed";
        Say(u"process at " + label);
        SetCheckProcessing(kLoadRate, kLoadBlock);
        std::u16string error;
        if (!plugin.Activate(kLoadRate, kLoadBlock, false, error))
            return Stage(u"process", u"failed", u"activation failed at " + label + (error.empty() ? u"" : u": " + error));
        latency = plugin.LatencySamples();
        tail = plugin.TailSamples();
        TakeProcessBack();
        result.latency = latency > INT32_MAX ? kUnknownFact : static_cast<int32_t>(latency);
        if (latency > INT32_MAX) latency = 0;
        LogInfo(u"Processing...\n");
        if (tail < kTailUnknown) result.announcedTail = tail / kLoadRate;

        CBuffers buffers(layout, kLoadBlock);
        CCheckBlock block;
        buffers.Point(block);
        block.frames = kLoadBlock;
        const int64_t second = static_cast<int64_t>(kLoadRate);
        COutputWatch watch;
        uint32_t noise = 1;
        CProcessTimer timer;
        int seconds = 0;
        bool processed = true;
        int64_t position = 0;
        while (processed && !timer.Enough(seconds)) {
            for (int64_t start = 0; start < second && processed; start += kLoadBlock) {
                block.position = position;
                block.noteOn = position == 0 && layout.takesNotes ? 0 : -1;
                block.noteOff = -1;
                buffers.Fill(block, start + second, 2 * second, noise);  // noise all through
                timer.Start();
                processed = Process(block, error);
                timer.Stop();
                buffers.Watch(block, watch);
                position += kLoadBlock;
            }
            ++seconds;
        }
        if (processed) result.load = timer.Load(seconds);
        Note(watch, label);
        if (processed) processed = TailRun(buffers, block, position, error);
        TakeProcessBack();
        plugin.Deactivate();
        TakeProcessBack();
        if (!processed) return Stage(u"process", u"failed", u"process failed at " + label + (error.empty() ? u"" : u": " + error));
        return true;
    }

    // Silence, and a note's end, until the output has stayed below -120 dBFS long enough to
    // have died away (a delay's echoes come back after a pause), or up to a bound: a tail is
    // measured, whatever the plug-in announces.
    bool TailRun(CBuffers& buffers, CCheckBlock& block, int64_t position, std::u16string& error)
    {
        Say(u"process at " + SettingText({kLoadRate, kLoadBlock, false}) + u", tail");
        SetCheckProcessing(kLoadRate, kLoadBlock);
        const int64_t inputEnd = position;
        const int64_t bound = inputEnd + static_cast<int64_t>(kLongestMeasuredTail * kLoadRate);
        const double announced = result.announcedTail > 0 ? std::min(result.announcedTail, kLongestMeasuredTail) : 0;
        const int64_t quietEnough = static_cast<int64_t>(std::max(kLeastQuietSeconds, announced) * kLoadRate) +
                                    std::min<int64_t>(latency, static_cast<int64_t>(kLongestMeasuredTail * kLoadRate));
        COutputWatch decay, lastSecond;
        std::vector<COutputWatch> lastSecondByChannel;
        lastSecond.range = true;
        decay.lastLoud = inputEnd - 1;
        bool processed = true;
        while (processed && position < bound && position - (decay.lastLoud + 1) < quietEnough) {
            buffers.Silence(kLoadBlock);
            block.position = position;
            block.noteOn = -1;
            block.noteOff = position == inputEnd && layout.takesNotes ? 0 : -1;
            processed = Process(block, error);
            buffers.Watch(block, decay);
            if (position >= bound - static_cast<int64_t>(kLoadRate)) {
                buffers.Watch(block, lastSecond);
                buffers.WatchEach(block, lastSecondByChannel);
            }
            position += kLoadBlock;
        }
        Note(decay, SettingText({kLoadRate, kLoadBlock, false}) + u", tail");
        if (!processed) return false;
        if (position - (decay.lastLoud + 1) < quietEnough && lastSecond.peak > kSilentLevel) {
            // A channel that holds one level is a DC offset, whatever the others do.
            for (size_t c = 0; c < lastSecondByChannel.size(); ++c) {
                const COutputWatch& channel = lastSecondByChannel[c];
                if (channel.peak > kSilentLevel && channel.Steady()) {
                    decayProblem = FormatString(u"output channel %u holds a constant level of ", static_cast<unsigned>(c + 1)) +
                                   Decimal(0.5 * (channel.lowest + channel.highest), 4) + u" (" +
                                   Decimal(20 * std::log10(channel.peak), 1) + u" dBFS) after the input ends: a DC offset";
                    return true;
                }
            }
            // A plug-in that sounded before it ever had input, and sounds on, is a source of its
            // own (a noise generator, an oscillator): its sound is not a tail that fails to end.
            if (beforeInput.peak > kSilentLevel && !lastSecond.Steady()) {
                generatorNote = u"it makes sound of its own without input, at " +
                                Decimal(20 * std::log10(std::max(lastSecond.peak, 1e-12)), 1) + u" dBFS";
                return true;
            }
            // Never silent: a DC offset, a hum, endless noise. Its length is not a tail.
            decayProblem = u"the output never falls below -120 dBFS within " + Decimal(kLongestMeasuredTail, 0) +
                           u" s after the input ends: it stays at " + Decimal(20 * std::log10(std::max(lastSecond.peak, 1e-12)), 1) +
                           u" dBFS";
            return true;
        }
        result.tailSeconds = static_cast<double>(decay.lastLoud + 1 - inputEnd) / kLoadRate;
        return true;
    }

    // A block through the plug-in, counting what it sends.
    // Hosts run audio with denormal numbers flushed to zero (the FTZ and DAZ bits of the SSE
    // control register): a plug-in's own arithmetic makes none there, and one it writes as it
    // is still shows.
    bool Process(CCheckBlock& block, std::u16string& error)
    {
        block.eventsOut = 0;
        FlushDenormals(true);
        const bool processed = plugin.Process(block, error);
        FlushDenormals(false);
        eventsOut += block.eventsOut;
        return processed;
    }

    bool JudgeAudio()
    {
        Say(u"audio");
        if (!nonFiniteAt.empty()) return Stage(u"audio", u"failed", u"NaN or infinity in the output at " + nonFiniteAt);
        std::u16string warnings, notes;
        auto add = [](std::u16string& to, const std::u16string& text) { to += (to.empty() ? u"" : u"; ") + text; };
        if (denormals > 0)
            add(warnings, FormatString(u"%u denormal samples in the output, first at ", static_cast<unsigned>(std::min<int64_t>(denormals, UINT32_MAX))) +
                              denormalsAt);
        if (!decayProblem.empty()) add(warnings, decayProblem);
        if (layout.instrument && peak <= kSilentLevel) add(warnings, u"silent after a note");
        int32_t outputChannels = 0;
        for (int32_t channels : layout.outputs) outputChannels += std::max(channels, 0);
        if (layout.takesNotes && outputChannels == 0 && !layout.sendsNotes) add(warnings, u"it takes notes and gives nothing out");
        // From silence and noise at -6 dBFS (and one impulse at 0 dBFS): a level a host's
        // output would clip.
        if (peak > 1.0) add(notes, u"its output peaks at +" + Decimal(20 * std::log10(peak), 1) + u" dBFS");
        // A MIDI effect makes no sound: what it sends is what it does.
        if (layout.takesNotes && layout.outputs.empty() && layout.sendsNotes) {
            if (eventsOut == 0) add(warnings, u"sent no notes nor MIDI after notes came in");
            else add(notes, FormatString(u"%u notes or MIDI events sent", static_cast<unsigned>(std::min<int64_t>(eventsOut, UINT32_MAX))));
        }
        if (!generatorNote.empty()) add(notes, generatorNote);
        if (result.tailSeconds >= 0) {
            add(notes, u"tail measured " + Decimal(result.tailSeconds, 4) + u" s");
            const double announced = std::max(result.announcedTail, 0.0) + latency / kLoadRate;
            if (tail != kTailEndless && result.tailSeconds > announced + kTailSlack)
                add(notes, u"it rings longer than the " +
                               (result.announcedTail < 0 ? u"tail it does not announce" : Decimal(result.announcedTail, 2) + u" s it announces"));
        }
        if (!warnings.empty()) return Stage(u"audio", u"warning", warnings + (notes.empty() ? u"" : u"; " + notes));
        return Stage(u"audio", u"passed", u"no NaN, no denormals; peak " + Decimal(peak, 3) + (notes.empty() ? u"" : u"; " + notes));
    }

    // Each parameter a host shows is set as a host sets it, with the plug-in active: the value
    // reaches the plug-in through a block of silence, then it is read back.
    bool Parameters()
    {
        Say(u"parameters");
        const int32_t count = plugin.ParameterCount();
        TakeProcessBack();
        const int32_t read = std::min(std::max(count, 0), kMostReadParameters);
        infos.assign(read, {});
        known.assign(read, false);
        int32_t hidden = 0;
        for (int32_t index = 0; index < read; ++index) {
            known[index] = plugin.ReadParameter(index, infos[index]);
            hidden += known[index] && infos[index].hidden;
        }
        TakeProcessBack();
        result.parameters = std::max(count, 0) - hidden;
        result.hiddenParameters = hidden;

        std::u16string error;
        SetCheckProcessing(kLoadRate, kParameterBlock);
        const bool active = plugin.Activate(kLoadRate, kParameterBlock, false, error);
        TakeProcessBack();
        LogInfo(u"Setting and reading parameters...\n");
        CBuffers buffers(layout, kParameterBlock);
        CCheckBlock block;
        buffers.Point(block);
        block.frames = kParameterBlock;
        std::u16string problems;
        int32_t kept = 0, checked = 0, readOnly = 0, programs = 0, wrong = 0;
        auto problem = [&](const std::u16string& text) {
            if (++wrong <= 3) problems += (problems.empty() ? u"" : u"; ") + text;
        };
        bool processed = true;
        for (int32_t index = 0; index < read && checked < kMostCheckedParameters && processed; ++index) {
            const CParameterInfo& info = infos[index];
            if (!known[index]) {
                problem(FormatString(u"parameter %i gives no information", index));
                continue;
            }
            if (info.hidden) continue;
            ++checked;
            plugin.ParameterText(index);
            if (info.readOnly || info.programChange) {
                info.readOnly ? ++readOnly : ++programs;
                continue;
            }
            const double range = std::fabs(info.maximum - info.minimum);
            const double tolerance = 1e-3 * (range > 0 ? range : 1);
            bool keeps = true;
            for (double value : {info.minimum, info.maximum, info.defaultValue}) {
                plugin.SetParameter(index, value);
                if (active) {
                    buffers.Silence(kParameterBlock);
                    processed = Process(block, error);
                    block.position += kParameterBlock;
                }
                const double readBack = plugin.ParameterValue(index);
                plugin.ParameterText(index);
                if (!(std::fabs(readBack - value) <= tolerance) && keeps) {
                    keeps = false;
                    problem(FormatString(u"parameter %i \"%s\" did not keep ", index, info.name.c_str()) + Decimal(value, 3) +
                            u" (read " + Decimal(readBack, 3) + u")");
                }
            }
            kept += keeps;
        }
        TakeProcessBack();
        plugin.Deactivate();
        TakeProcessBack();
        SetCheckProcessing(0, 0);
        if (!processed) return Stage(u"parameters", u"failed", u"process failed while parameters were set" + (error.empty() ? u"" : u": " + error));
        if (wrong > 3) problems += FormatString(u"; %i more", wrong - 3);
        std::u16string details = FormatString(u"%i parameters", result.parameters);
        if (hidden > 0) details += FormatString(u" and %i hidden ones, not set", hidden);
        if (read < count) details += FormatString(u", the first %i read", read);
        if (checked >= kMostCheckedParameters) details += FormatString(u", the first %i checked", kMostCheckedParameters);
        if (readOnly > 0) details += FormatString(u", %i read-only", readOnly);
        if (programs > 0) details += FormatString(u", %i choosing programs, not set", programs);
        if (!active) details += u"; set while inactive, since it did not activate";
        if (wrong > 0) return Stage(u"parameters", u"warning", details + u": " + problems);
        return Stage(u"parameters", u"passed", details + FormatString(u"; %i kept their lowest, highest and default values", kept));
    }

    // The parameters a host shows and sets: those a state must bring back.
    std::vector<int32_t> ShownParameters() const
    {
        std::vector<int32_t> shown;
        for (int32_t index = 0; index < static_cast<int32_t>(infos.size()) && shown.size() < kMostCheckedParameters; ++index)
            if (known[index] && !infos[index].hidden && !infos[index].readOnly && !infos[index].programChange)
                shown.push_back(index);
        return shown;
    }

    // Judged by values, as a musician meets it in the next session: every parameter a host
    // shows is set to another value and the state saved; the state saved before brings the
    // first values back, the second the new ones.
    bool State()
    {
        Say(u"state");
        std::u16string error;
        std::vector<uint8_t> before;
        const CStateSupport saved = plugin.SaveState(before, error);
        TakeProcessBack();
        if (saved == CStateSupport::kFailed) return Stage(u"state", u"failed", u"saving failed: " + error);
        const std::vector<int32_t> shown = ShownParameters();
        if (saved == CStateSupport::kNone) {
            if (plugin.HostKeepsParameters() || shown.empty()) return Stage(u"state", u"skipped", u"it keeps no state of its own");
            return Stage(u"state", u"failed",
                         FormatString(u"it keeps no state, and a host restores it only from its state: the %u parameters it shows are lost with every session",
                                      static_cast<unsigned>(shown.size())));
        }

        SetCheckProcessing(kLoadRate, kParameterBlock);
        const bool active = plugin.Activate(kLoadRate, kParameterBlock, false, error);
        TakeProcessBack();
        CBuffers buffers(layout, kParameterBlock);
        CCheckBlock block;
        buffers.Point(block);
        block.frames = kParameterBlock;
        bool processed = true;
        // What was set or loaded reaches a plug-in that takes values in process.
        const auto settle = [&] {
            if (!active || !processed) return;
            buffers.Silence(kParameterBlock);
            processed = Process(block, error);
            block.position += kParameterBlock;
            TakeProcessBack();
        };
        const auto values = [&] {
            std::vector<double> read;
            for (int32_t index : shown) read.push_back(plugin.ParameterValue(index));
            TakeProcessBack();
            return read;
        };
        const auto end = [&](const char16_t* outcome, const std::u16string& details) {
            plugin.Deactivate();
            TakeProcessBack();
            SetCheckProcessing(0, 0);
            if (!processed) return Stage(u"state", u"failed", u"process failed while its state was set" + (error.empty() ? u"" : u": " + error));
            return Stage(u"state", outcome, details);
        };

        const std::vector<double> first = values();
        uint32_t seed = StateSeed(infos);
        for (size_t k = 0; k < shown.size(); ++k) plugin.SetParameter(shown[k], OtherValue(infos[shown[k]], first[k], seed));
        TakeProcessBack();
        settle();
        const std::vector<double> second = values();
        std::vector<uint8_t> after, again;
        if (plugin.SaveState(after, error) != CStateSupport::kSaved) return end(u"failed", u"saving after its parameters were set failed: " + error);
        TakeProcessBack();
        if (!plugin.LoadState(before, error)) return end(u"failed", u"loading its own state failed: " + error);
        TakeProcessBack();
        settle();
        const std::vector<double> restoredFirst = values();
        if (!plugin.LoadState(after, error)) return end(u"failed", u"loading its own state failed: " + error);
        TakeProcessBack();
        settle();
        const std::vector<double> restoredSecond = values();
        if (plugin.SaveState(again, error) != CStateSupport::kSaved) return end(u"failed", u"saving after loading failed: " + error);
        TakeProcessBack();

        const auto size = [&](const std::vector<uint8_t>& bytes) { return static_cast<unsigned>(plugin.StateSize(bytes)); };
        size_t at = 0;
        while (at < after.size() && at < again.size() && after[at] == again[at]) ++at;
        const unsigned differsAt = static_cast<unsigned>(at - std::min(at, after.size() - plugin.StateSize(after)));
        const std::u16string differs = FormatString(u"saved again after loading, it differs: %u bytes against %u, from byte %u",
                                                    size(after), size(again), differsAt);
        // Only the parameters that took another value tell whether a state brings values back.
        // The state saved first holds values the plug-in chose itself, which every load must
        // give back as they were; the second holds values the check chose, which a plug-in may
        // round to its steps or normalise with others (a quaternion), so it only has to bring
        // other values than the first: a load that resets is no load.
        int32_t judged = 0, moved = 0, away = 0, lost = 0;
        std::u16string named;
        for (size_t k = 0; k < shown.size(); ++k) {
            const CParameterInfo& info = infos[shown[k]];
            if (!std::isfinite(first[k]) || !std::isfinite(second[k]) || SameValue(info, first[k], second[k])) continue;
            ++judged;
            moved += !SameValue(info, restoredFirst[k], second[k]);
            away += !SameValue(info, restoredSecond[k], first[k]);
            if (!SameValue(info, restoredFirst[k], first[k]) && ++lost <= 3)
                named += (named.empty() ? u"" : u", ") + FormatString(u"\"%s\" (", info.name.c_str()) + Decimal(first[k], 3) +
                         u" saved, " + Decimal(restoredFirst[k], 3) + u" after loading)";
        }
        if (judged == 0) {
            if (after == again) return end(u"passed", FormatString(u"%u bytes, the same after loading", size(after)));
            return end(u"warning", differs);
        }
        if (moved == 0)
            return end(u"failed", FormatString(u"loading its state brought back none of the %i parameters set after it was saved", judged));
        if (away == 0)
            return end(u"failed", FormatString(u"loading a state of other values brought back only the first ones, of all %i parameters", judged));
        if (lost > 0)
            return end(u"warning", FormatString(u"%i of %i parameters did not come back after loading: ", lost, judged) + named +
                                       (lost > 3 ? FormatString(u", %i more", lost - 3) : u""));
        std::u16string details = FormatString(u"%u bytes; its %i parameter%s came back after loading", size(after), judged,
                                              judged == 1 ? u"" : u"s");
        if (after != again) details += u"; " + differs + u", every value the same";
        return end(u"passed", details);
    }

    bool Editor()
    {
        if (!withEditor) return true;
        Say(u"editor");
        if (!layout.editor) return Stage(u"editor", u"skipped", u"it has no editor");
        void* window = CreateEditorParent();
        if (window == nullptr) return Stage(u"editor", u"skipped", u"no display to open it on");
        std::u16string error;
        const bool opened = plugin.OpenEditor(window, error);
        TakeProcessBack();
        if (!opened) {
            plugin.CloseEditor();
            DestroyEditorParent(window);
            if (error.empty()) {
                result.editor = false;
                return Stage(u"editor", u"skipped", u"it has no editor");
            }
            return Stage(u"editor", u"failed", u"it did not open: " + error);
        }
        RunEditorFor(kEditorSeconds, [this] { plugin.IdleEditor(); });
        LogInfo(u"Closing the editor...\n");
        plugin.CloseEditor();
        TakeProcessBack();
        DestroyEditorParent(window);
        return Stage(u"editor", u"passed", u"opened, ran for 0.5 s and closed");
    }

    void Close()
    {
        Say(u"close");
        plugin.Close();
        TakeProcessBack();
        Stage(u"close", u"passed", u"");
    }

    CCheckedPlugin& plugin;
    bool withEditor;
    CCheckResult& result;
    CPluginLayout layout;
    uint32_t latency = 0, tail = 0;
    std::vector<CSetting> passed;
    std::u16string nonFiniteAt, denormalsAt, decayProblem, generatorNote;
    COutputWatch beforeInput;  // effects' output in the settings' silent first thirds
    std::vector<CParameterInfo> infos;  // read by the parameter stage
    std::vector<bool> known;
    int64_t denormals = 0, eventsOut = 0;
    double peak = 0;
};

}  // namespace

void RunCheck(CCheckedPlugin& plugin, bool withEditor, CCheckResult& result)
{
    CCheck check(plugin, withEditor, result);
    check.Run();
}
