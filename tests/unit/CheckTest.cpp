// The check's platform-free parts: its requests, what it watches in a plug-in's output, and its
// report read back by the host as the server wrote it, whole or cut short by a crash.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/ServerOutput.h"
#include "probe/CheckAudio.h"
#include "probe/vst3/Vst3Messages.h"
#include "protocol/CheckRequest.h"
#include "report/CheckReport.h"
#include "tests/unit/CapturedOutput.h"

namespace {

std::vector<std::string> ReportLines(const std::string& output)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < output.size();) {
        const size_t end = output.find('\n', start);
        const CServerLine line = SplitServerLine(output.substr(start, end - start));
        if (line.level == ">") lines.push_back(line.text);
        start = end + 1;
    }
    return lines;
}

TEST(CheckRequest, NoPathCanBeTakenForOneAndIdsKeepWhatTheyHold)
{
    EXPECT_FALSE(IsCheckRequest("C:\\VST\\Delay.dll"));
    EXPECT_FALSE(IsCheckRequest("\\\\?\\C:\\VST\\Delay.dll"));
    const CCheckRequest clap{"C:\\CLAP\\Synth.clap", "com.vendor>odd id", true};
    const std::string text = CheckRequestText(clap);
    EXPECT_EQ(text, "?check+editor C:\\CLAP\\Synth.clap>com.vendor>odd id");
    const auto parsed = ParseCheckRequest(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->path, clap.path);
    EXPECT_EQ(parsed->id, clap.id);  // the path ends at the first '>'
    EXPECT_TRUE(parsed->editor);
    EXPECT_EQ(CheckedFormat(*parsed), PluginFormat::kClap);
    const auto shell = ParseCheckRequest("?check C:\\VST\\Shell.dll>0000ABCD");
    ASSERT_TRUE(shell);
    EXPECT_EQ(shell->id, "0000ABCD");
    EXPECT_FALSE(shell->editor);
    for (const char* bad : {"?check", "?check ", "?check C:\\a.dll>", "?checked C:\\a.dll", "?CHECK C:\\a.dll"})
        EXPECT_FALSE(ParseCheckRequest(bad)) << bad;
}

TEST(CheckAudio, TellsASteadyLevelFromASound)
{
    COutputWatch none, level, sound;
    level.range = sound.range = true;
    EXPECT_TRUE(none.Steady());
    const float dc[] = {1e-3f, 1e-3f, 1e-3f};
    WatchOutput(dc, 3, 0, level);
    EXPECT_TRUE(level.Steady());
    const float noise[] = {0.3f, -0.2f, 0.1f};
    WatchOutput(noise, 3, 0, sound);
    EXPECT_FALSE(sound.Steady());
}

TEST(CheckAudio, WatchesForNonNumbersDenormalsAndTheLastLoudSample)
{
    const float denormal = std::numeric_limits<float>::denorm_min();
    const float samples[] = {0.5f, 0.0f, denormal, 2e-6f, 1e-7f, -0.0f};
    COutputWatch watch;
    WatchOutput(samples, 6, 100, watch);
    EXPECT_FALSE(watch.nonFinite);
    EXPECT_EQ(watch.denormals, 1);
    EXPECT_EQ(watch.lastLoud, 103);  // 1e-7 is below -120 dBFS
    EXPECT_DOUBLE_EQ(watch.peak, 0.5);
    const double wild[] = {std::numeric_limits<double>::infinity(), 0.25};
    WatchOutput(wild, 2, 200, watch);
    EXPECT_TRUE(watch.nonFinite);
    EXPECT_DOUBLE_EQ(watch.peak, 0.5);  // infinity is no peak
    WatchOutput(static_cast<const float*>(nullptr), 10, 0, watch);

    // Silence, one impulse, silence, then noise, a third each; the same for every run.
    uint32_t noise = 1, again = 1;
    double loudest = 0;
    for (int64_t i = 0; i < 300; ++i) {
        const double value = RunInput(i, 300, noise);
        EXPECT_EQ(value, RunInput(i, 300, again));
        if (i < 100 || (i > 100 && i < 200)) {
            EXPECT_EQ(value, 0) << i;
        }
        loudest = std::max(loudest, std::fabs(value));
    }
    EXPECT_EQ(RunInput(100, 300, noise), 1);
    EXPECT_LE(loudest, 1);
}

TEST(CheckReport, IsReadBackWholeOrAsFarAsItWent)
{
    CCheckResult result;
    result.format = u"clap";
    ReportCheckStage(result, {u"open", u"passed", u"2 audio inputs"});
    ReportCheckStage(result, {u"parameters", u"warning", u"parameter 1 \"Drive\" did not keep 0.000 (read 0.300)\nnext"});
    const std::vector<std::string> partial = ReportLines(TakeCapturedOutput());
    result.parameters = 2;
    result.hiddenParameters = 2081;
    result.latency = 64;
    result.tailSeconds = 0.0256;
    result.announcedTail = 1.5;
    result.midiIn = 1;
    result.midiOut = 0;
    result.audio64 = true;
    result.sampleRates = u"44100|48000";
    result.blockSizes = u"1|64|varying";
    result.programs = 128;
    result.layouts = u"1>1|2>2|2>1";
    result.load = 12.345;
    FinishCheckReport(result);
    std::vector<std::string> whole = partial;
    for (const std::string& line : ReportLines(TakeCapturedOutput())) whole.push_back(line);

    std::string problem;
    const auto report = ParsePluginReport(whole, &problem);
    ASSERT_TRUE(report) << problem;
    EXPECT_EQ(report->check, "clap");
    ASSERT_EQ(report->stages.size(), 2u);
    EXPECT_EQ(report->stages[1].stage, "parameters");
    EXPECT_EQ(report->stages[1].result, "warning");
    EXPECT_EQ(report->stages[1].details, "parameter 1 \"Drive\" did not keep 0.000 (read 0.300)\nnext");
    EXPECT_EQ(report->facts.parameters, 2);
    EXPECT_EQ(report->facts.hiddenParameters, 2081);
    EXPECT_EQ(report->facts.latency, 64);
    EXPECT_DOUBLE_EQ(report->facts.tailSeconds, 0.0256);
    EXPECT_DOUBLE_EQ(report->facts.announcedTail, 1.5);
    EXPECT_EQ(report->facts.midiIn, 1);
    EXPECT_EQ(report->facts.midiOut, 0);
    EXPECT_DOUBLE_EQ(report->facts.load, 12.35);
    EXPECT_TRUE(report->facts.audio64);
    EXPECT_FALSE(report->facts.editor);
    EXPECT_EQ(report->facts.blockSizes, "1|64|varying");
    EXPECT_EQ(report->facts.programs, 128);
    EXPECT_EQ(report->facts.layouts, "1>1|2>2|2>1");

    // A crash after the second stage: the host keeps both, and knows nothing more.
    const auto cut = ParsePartialModuleReport(partial);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->stages.size(), 2u);
    EXPECT_EQ(cut->facts.load, -1);
    EXPECT_FALSE(ParsePluginReport(partial));

    // Facts that were not measured are null, and read as unknown.
    CCheckResult none;
    none.format = u"vst2";
    FinishCheckReport(none);
    const auto empty = ParsePluginReport(ReportLines(TakeCapturedOutput()));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->facts.parameters, -1);
    EXPECT_EQ(empty->facts.tailSeconds, -1);
    EXPECT_EQ(empty->facts.announcedTail, -1);
    EXPECT_EQ(empty->facts.midiIn, -1);
    EXPECT_TRUE(empty->stages.empty());
}

TEST(CheckReport, ABadStageOrFactIsNoReport)
{
    const std::vector<std::vector<std::string>> bad = {
        {"{", "\"check\": \"vst2\",", "\"stages\": [", "{\"stage\": \"open\"},", "],", "}"},
        {"{", "\"check\": \"\",", "}"},
        {"{", "\"check\": \"vst2\",", "\"load\": -3,", "}"},
        {"{", "\"check\": \"vst2\",", "\"latency\": 1e9999,", "}"},
        // Facts of the wrong shape, as a plug-in forging a report writes them.
        {"{", "\"check\": \"vst2\",", "\"sampleRates\": \"=HYPERLINK(1)\",", "}"},
        {"{", "\"check\": \"vst2\",", "\"blockSizes\": \"64|\\u001b[2J\",", "}"},
        {"{", "\"check\": \"vst2\",", "\"midiIn\": 1,", "}"},
        {"{", "\"check\": \"vst2\",", "\"hiddenParameters\": -2,", "}"},
        {"{", "\"check\": \"vst2\",", "\"layouts\": \"2>\",", "}"},
        {"{", "\"check\": \"vst2\",", "\"layouts\": \"1>1|=cmd\",", "}"},
        {"{", "\"check\": \"vst2\",", "\"stages\": [", "}"}};
    for (const auto& lines : bad) EXPECT_FALSE(ParsePluginReport(lines)) << lines[1] << lines[2];
}

// The messages a VST 3 component and its controller send each other through the host: made
// only for their own class, holding what is put in, each gone with its last reference.
TEST(Vst3Messages, HoldWhatIsPutInAndGoWithTheirLastReference)
{
    using namespace vst3;
    EXPECT_EQ(CreateHostMessageObject(kMessageId.data(), kAttributeListId.data()), nullptr);
    EXPECT_EQ(CreateHostMessageObject(kComponentId.data(), kComponentId.data()), nullptr);
    auto* message = static_cast<IMessage*>(CreateHostMessageObject(kMessageId.data(), kMessageId.data()));
    ASSERT_NE(message, nullptr);
    message->setMessageID("zoo.hello");
    EXPECT_STREQ(message->getMessageID(), "zoo.hello");
    IAttributeList* list = message->getAttributes();
    EXPECT_EQ(list->setInt("answer", 42), kResultOk);
    EXPECT_EQ(list->setFloat("gain", 0.5), kResultOk);
    EXPECT_EQ(list->setString("name", u"Delay"), kResultOk);
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(list->setBinary("blob", bytes, sizeof(bytes)), kResultOk);
    int64_t answer = 0;
    double gain = 0;
    EXPECT_EQ(list->getInt("answer", &answer), kResultOk);
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(list->getFloat("gain", &gain), kResultOk);
    EXPECT_EQ(list->getInt("gain", &answer), kResultFalse);  // a value is read as the type it was put in
    char16_t name[4];
    EXPECT_EQ(list->getString("name", name, sizeof(name)), kResultOk);
    EXPECT_EQ(std::u16string(name), u"Del");  // cut to the buffer, terminated
    const void* blob = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(list->getBinary("blob", &blob, &size), kResultOk);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(static_cast<const uint8_t*>(blob)[2], 3);
    EXPECT_EQ(list->getInt(nullptr, &answer), kResultFalse);
    EXPECT_EQ(list->setBinary("big", nullptr, 5), kInvalidArgument);
    void* again = nullptr;
    ASSERT_EQ(message->queryInterface(kMessageId.data(), &again), kResultOk);
    EXPECT_EQ(message->release(), 1u);
    EXPECT_EQ(static_cast<IMessage*>(again)->release(), 0u);  // the sanitizers see it freed once
}

}  // namespace
