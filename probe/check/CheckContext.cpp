#include "probe/check/CheckContext.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "probe/CheckDriver.h"
#include "probe/FloatEnvironment.h"
#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "report/CheckReport.h"

int32_t Channels(const std::vector<int32_t>& buses)
{
    int32_t channels = 0;
    for (int32_t count : buses) channels += std::max(count, 0);
    return channels;
}

std::u16string Decimal(double value, int decimals) { return FormatDecimal(value, decimals); }

void CCheck::Say(const std::u16string& step)
{
    LogInfo(u"Check stage: %s\n", step.c_str());
    SetCheckProcessing(0, 0);
}

bool CCheck::Stage(const char16_t* name, const char16_t* outcome, const std::u16string& details)
{
    ReportCheckStage(result, {name, outcome, details});
    TakeProcessBack();
    return std::u16string(outcome) != u"failed";
}

void CCheck::SetCheckProcessing(double rate, int32_t block)
{
    CheckSampleRate = rate;
    CheckBlockSize = block;
}

// Hosts run audio with denormal numbers flushed to zero (the FTZ and DAZ bits of the SSE
// control register): a plug-in's own arithmetic makes none there, and one it writes as it is
// still shows.
bool CCheck::Process(CCheckBlock& block, std::u16string& error, CProcessTimer* timer)
{
    block.eventsOut = 0;
    FlushDenormals(true);
    audio.inProcess.store(true, std::memory_order_release);
    block.timer = timer;
    bool processed = plugin.Process(block, error);
    block.timer = nullptr;
    audio.inProcess.store(false, std::memory_order_release);
    FlushDenormals(false);
    eventsOut += block.eventsOut;
    if (processed && WrotePastBuffers(block)) {
        error = FormatString(u"it wrote past the end of the buffers it was given (%i samples a channel)", block.capacity);
        processed = false;
    }
    return processed;
}

bool CCheck::RunAudio(const std::function<bool()>& blocks, std::u16string& error)
{
    bool done = false;
    audio.Run(
        [&] {
            if (!plugin.StartProcessing(error)) return;
            done = blocks();
            plugin.StopProcessing();
        },
        [this] { MainThreadWork(); });
    MainThreadWork();
    TakeProcessBack();
    return done;
}

bool CCheck::StartAudio(std::u16string& error)
{
    bool started = false;
    audio.Run([&] { started = plugin.StartProcessing(error); }, [this] { MainThreadWork(); });
    TakeProcessBack();
    return started;
}

bool CCheck::AudioBlock(CCheckBlock& block, std::u16string& error)
{
    bool processed = false;
    audio.Run([&] { processed = Process(block, error); }, [this] { MainThreadWork(); });
    MainThreadWork();
    TakeProcessBack();
    return processed;
}

void CCheck::StopAudio()
{
    audio.Run([&] { plugin.StopProcessing(); }, [this] { MainThreadWork(); });
    MainThreadWork();
    TakeProcessBack();
}

void CCheck::StartLoop(CAudioLoop& loop)
{
    BothThreadsRun = true;
    audio.Start([this, &loop] {
        if (!plugin.StartProcessing(loop.error)) {
            loop.processed = false;
            return;
        }
        CCheckBlock block;
        loop.buffers.Point(block);
        block.frames = kLoadBlock;
        uint32_t noise = 1;
        for (int64_t position = 0; !audio.stopAsked.load(std::memory_order_relaxed); position += kLoadBlock) {
            block.position = position;
            loop.buffers.FillNoise(block, noise);
            if (!Process(block, loop.error)) {
                loop.processed = false;
                break;
            }
            loop.buffers.Watch(block, loop.watch);
            loop.blocks.fetch_add(1, std::memory_order_relaxed);
        }
        plugin.StopProcessing();
    });
}

bool CCheck::StopLoop(CAudioLoop& loop)
{
    // However fast the main thread was, the audio thread met it a few times.
    constexpr int64_t kLeastBlocks = 8;
    const auto work = [this] { MainThreadWork(); };
    while (loop.processed && loop.blocks.load(std::memory_order_relaxed) < kLeastBlocks) {
        work();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    audio.stopAsked = true;
    audio.Join(work);
    BothThreadsRun = false;
    MainThreadWork();
    TakeProcessBack();
    return loop.processed;
}

void CCheck::MainThreadWork()
{
    plugin.OnMainThread();
}

void CCheck::SetDefaults()
{
    for (int32_t index : ShownParameters()) plugin.SetParameter(index, infos[index].defaultValue);
    TakeProcessBack();
}

std::vector<int32_t> CCheck::ShownParameters() const
{
    std::vector<int32_t> shown;
    for (int32_t index = 0; index < static_cast<int32_t>(infos.size()) && shown.size() < kMostCheckedParameters; ++index)
        if (known[index] && !infos[index].hidden && !infos[index].readOnly && !infos[index].programChange)
            shown.push_back(index);
    return shown;
}

std::u16string CCheck::SettingText(const CSetting& setting)
{
    std::u16string text = FormatString(u"%i Hz, ", static_cast<int32_t>(setting.rate));
    text += setting.block == 0 ? u"blocks of varying sizes" : FormatString(u"blocks of %i", setting.block);
    if (setting.use64) text += u", 64-bit";
    return text;
}

void CCheck::Note(const COutputWatch& watch, const std::u16string& label)
{
    if (watch.nonFinite && nonFiniteAt.empty()) nonFiniteAt = label;
    if (watch.denormals > 0 && denormalsAt.empty()) denormalsAt = label;
    denormals += watch.denormals;
    peak = std::max(peak, watch.peak);
}
