// VST 3 and CLAP files: told apart by their path, their class ids written as their sources
// write them, and their report read back by the host as the server wrote it.
#include <gtest/gtest.h>

#include "host/ServerOutput.h"
#include "probe/vst3/Vst3Ids.h"
#include "protocol/PluginFormat.h"
#include "report/ModuleReport.h"
#include "tests/unit/CapturedOutput.h"

namespace {

std::vector<std::string> ReportLines(const std::string& output)
{
    std::vector<std::string> lines;
    for (size_t start = 0; start < output.size();) {
        const size_t end = output.find('\n', start);
        lines.push_back(SplitServerLine(output.substr(start, end - start)).text);
        start = end + 1;
    }
    return lines;
}

TEST(PluginFormat, ComesFromThePath)
{
    EXPECT_EQ(FormatOfPath("C:\\VST3\\Delay.vst3"), PluginFormat::kVst3);
    EXPECT_EQ(FormatOfPath(u"C:\\VST3\\Delay.VST3\\"), PluginFormat::kVst3);  // a bundle folder
    EXPECT_EQ(FormatOfPath("C:\\CLAP\\Synth.clap"), PluginFormat::kClap);
    EXPECT_EQ(FormatOfPath("C:\\VST\\Shell.dll>00000005"), PluginFormat::kVst2);
    EXPECT_EQ(FormatOfPath("C:\\VST\\odd.vst3.dll"), PluginFormat::kVst2);
    // A Linux module's binary lies in its bundle as NAME.so.
    EXPECT_EQ(FormatOfPath("/usr/lib/vst3/Delay.vst3/Contents/x86_64-linux/Delay.so"), PluginFormat::kVst3);
    EXPECT_EQ(FormatOfPath(u"/usr/lib/vst3/Delay.VST3/contents/x86_64-linux/Delay.so"), PluginFormat::kVst3);
    EXPECT_EQ(FormatOfPath("/usr/lib/vst/Contents/x86_64-linux/Delay.so"), PluginFormat::kVst2);
    EXPECT_EQ(FormatOfPath("/usr/lib/vst3/Delay.vst3/Contents/x86_64-linux/sub/Delay.so"), PluginFormat::kVst2);
    EXPECT_EQ(FormatOfPath("/usr/lib/vst3/Delay.vst3/Contents/x86_64-linux/Delay.so>0000ABCD"), PluginFormat::kVst2);
    EXPECT_STREQ(FormatName(PluginFormat::kClap), "clap");
}

TEST(Vst3Ids, AreLaidOutAsThePlatformLaysThemAndWrittenAsTheirText)
{
    // 0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9: a COM GUID on Windows, four big-endian numbers elsewhere.
    const CTuid com = MakeTuidIn(TuidLayout::kCom, 0x0A1B2C3D, 0x4E5F6071, 0x8293A4B5, 0xC6D7E8F9);
    const CTuid comBytes = {0x3D, 0x2C, 0x1B, 0x0A, 0x5F, 0x4E, 0x71, 0x60, 0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9};
    EXPECT_EQ(com, comBytes);
    EXPECT_EQ(TuidText(com.data(), TuidLayout::kCom), u"0A1B2C3D4E5F60718293A4B5C6D7E8F9");
    const CTuid plain = MakeTuidIn(TuidLayout::kBigEndian, 0x0A1B2C3D, 0x4E5F6071, 0x8293A4B5, 0xC6D7E8F9);
    const CTuid plainBytes = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9};
    EXPECT_EQ(plain, plainBytes);
    EXPECT_EQ(TuidText(plain.data(), TuidLayout::kBigEndian), u"0A1B2C3D4E5F60718293A4B5C6D7E8F9");
    // IPluginFactory, 7A4D811C-5211-4A1F-AED9-D2EE0B43BF9F, in the build's own layout.
    EXPECT_EQ(TuidText(MakeTuid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F).data()), u"7A4D811C52114A1FAED9D2EE0B43BF9F");
#if defined(_WIN32)
    static_assert(kTuidLayout == TuidLayout::kCom);
#else
    static_assert(kTuidLayout == TuidLayout::kBigEndian);
#endif
}

TEST(ModuleReport, IsReadBackAsItWasWritten)
{
    CModuleResult module;
    module.format = u"vst3";
    module.vendor = u"Zoo \"Quoted\" Vendor";
    module.url = u"https://example.com/";
    CModuleClass effect;
    effect.id = u"0A1B2C3D4E5F60718293A4B5C6D7E8F9";
    effect.name = u"Delay, with a comma}";
    effect.category = u"Audio Module Class";
    effect.subCategories = u"Fx|Delay";
    effect.plugin = true;
    effect.cardinality = 0x7FFFFFFF;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.sendsMidi = true;
    CModuleClass controller;
    controller.id = u"00000000000000000000000000000001";
    controller.name = u"Delay Controller";
    controller.category = u"Component Controller Class";
    controller.error = u"line\nbreak";
    module.classes = {effect, controller};
    WriteModuleReport(module);
    const std::string output = TakeCapturedOutput();
    EXPECT_NE(output.find(">:  \"format\":    \"vst3\",\n"), std::string::npos) << output;

    std::string problem;
    const auto report = ParsePluginReport(ReportLines(output), &problem);
    ASSERT_TRUE(report) << problem;
    EXPECT_EQ(report->format, "vst3");
    EXPECT_EQ(report->vendor, "Zoo \"Quoted\" Vendor");
    ASSERT_EQ(report->entries.size(), 2u);
    EXPECT_EQ(report->entries[0].name, "Delay, with a comma}");
    EXPECT_EQ(report->entries[0].subCategories, "Fx|Delay");
    EXPECT_EQ(report->entries[0].cardinality, 0x7FFFFFFF);
    EXPECT_TRUE(report->entries[0].plugin);
    EXPECT_EQ(report->entries[0].numOutputs, 2);
    EXPECT_TRUE(report->entries[0].sendsMidi);
    EXPECT_FALSE(report->entries[1].plugin);
    EXPECT_EQ(report->entries[1].error, "line\nbreak");

    CModuleResult clap;
    clap.format = u"clap";
    clap.version = u"1.2.0";
    CModuleClass synth;
    synth.id = u"com.tessarine.zoo.synth";
    synth.category = u"instrument|stereo";
    synth.wantsMidi = true;
    clap.classes = {synth};
    WriteModuleReport(clap);
    const auto clapReport = ParsePluginReport(ReportLines(TakeCapturedOutput()), &problem);
    ASSERT_TRUE(clapReport) << problem;
    EXPECT_EQ(clapReport->version, "1.2.0");
    ASSERT_EQ(clapReport->entries.size(), 1u);
    EXPECT_TRUE(clapReport->entries[0].plugin);  // every plug-in of a CLAP file is one
    EXPECT_EQ(clapReport->entries[0].id, "com.tessarine.zoo.synth");
    EXPECT_TRUE(clapReport->entries[0].wantsMidi);

    EXPECT_FALSE(ParsePluginReport({"{", "  \"classes\": [", "    {\"name\": 5},", "  ],", "}"}, &problem));
    EXPECT_FALSE(ParsePluginReport({"{", "  \"plugins\": [", "}"}, &problem));
}

// A report keeps its lines within what hosts read, says what it cut, and what was written of
// it before a crash is read back.
TEST(ModuleReport, CutsWhatIsTooLongAndIsReadBackWhenCutShort)
{
    CModuleResult module;
    module.format = u"clap";
    module.notes = u"claims 2147483647 plug-ins; 4096 read";
    CModuleClass entry;
    entry.id = u"com.zoo.long";
    entry.name = std::u16string(5000, u'n');
    entry.name[4096] = 0xDC00;  // the low half of a character across the bound
    entry.name[4095] = 0xD800;
    entry.numInputs = kUnknownCount;
    ReportModuleClass(module, entry);
    const std::string written = TakeCapturedOutput();
    FinishModuleReport(module);
    const std::string whole = written + TakeCapturedOutput();

    const auto report = ParsePluginReport(ReportLines(whole));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->notes, "claims 2147483647 plug-ins; 4096 read");
    ASSERT_EQ(report->entries.size(), 1u);
    EXPECT_EQ(report->entries[0].name, std::string(4095, 'n'));
    EXPECT_EQ(report->entries[0].note, "name of 5000 characters cut to 4095");
    EXPECT_EQ(report->entries[0].numInputs, kUnknownChannels);

    // The server ended after the class line: the class and the head's notes stay.
    const auto partial = ParsePartialModuleReport(ReportLines(written));
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->notes, report->notes);
    ASSERT_EQ(partial->entries.size(), 1u);
    EXPECT_EQ(partial->entries[0].id, "com.zoo.long");
    EXPECT_FALSE(ParsePartialModuleReport({"{", "  \"id\": \"00000001\","}));  // not a module's
}

}  // namespace
