// The host's reading of the server's output: every report shape the server writes.
#include <gtest/gtest.h>

#include "host/ServerOutput.h"

namespace {

std::vector<std::string> Lines(std::vector<std::string> fields)
{
    std::vector<std::string> lines = {"{"};
    lines.insert(lines.end(), fields.begin(), fields.end());
    lines.push_back("}");
    return lines;
}

const std::vector<std::string> kOrdinary = Lines({
    "  \"id\":        \"5A456666\",",
    "  \"name\":      \"Ordinary Effect\",",
    "  \"vendor\":    \"Tessarine Test Zoo\",",
    "  \"product\":   \"Zoo Effect\",",
    "  \"version\":   \"1.2.0.0\",",
    "  \"error\":     \"\",",
    "  \"numInputs\": 2,",
    "  \"numOutputs\":16,",
    "  \"wantsMidi\":  true,",
    "  \"sendsMidi\": false,",
    "  \"platform\":  \"x64\",",
    "  \"audio64\":   true,",
    "  \"category\":  1,",
    "  \"synthEdit\": true,",
});

TEST(ServerOutput, SplitsTheLevelAtTheFirstColon)
{
    const CServerLine info = SplitServerLine("info:Scanning plugin: 'C:\\a.dll'\n");
    EXPECT_EQ(info.level, "info");
    EXPECT_EQ(info.text, "Scanning plugin: 'C:\\a.dll'");
    const CServerLine report = SplitServerLine(">:  \"id\":        \"00000000\",");
    EXPECT_EQ(report.level, ">");
    EXPECT_EQ(report.text, "  \"id\":        \"00000000\",");
    EXPECT_EQ(SplitServerLine("ready:").level, "ready");
    EXPECT_EQ(SplitServerLine("cut sho").level, "");
}

TEST(ServerOutput, ReadsAnOrdinaryReport)
{
    const auto report = ParsePluginReport(kOrdinary);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->id, 0x5A456666u);
    EXPECT_EQ(report->name, "Ordinary Effect");
    EXPECT_EQ(report->vendor, "Tessarine Test Zoo");
    EXPECT_EQ(report->product, "Zoo Effect");
    EXPECT_EQ(report->version, "1.2.0.0");
    EXPECT_EQ(report->error, "");
    EXPECT_EQ(report->numInputs, 2);
    EXPECT_EQ(report->numOutputs, 16);
    EXPECT_TRUE(report->wantsMidi);
    EXPECT_FALSE(report->sendsMidi);
    EXPECT_EQ(report->platform, "x64");
    EXPECT_TRUE(report->audio64);
    EXPECT_EQ(report->category, 1);
    EXPECT_TRUE(report->synthEdit);
    EXPECT_FALSE(report->IsShell());
}

TEST(ServerOutput, ReadsAFailedScansReport)
{
    const auto report = ParsePluginReport(Lines({
        "  \"id\":        \"FFFFFFFF\",", "  \"name\":      \"\",", "  \"error\":     \"Failed to load library, err=126\",",
        "  \"numInputs\": 0,", "  \"category\":  -1,", "  \"synthEdit\": false,"}));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->id, 0xFFFFFFFFu);
    EXPECT_EQ(report->error, "Failed to load library, err=126");
    EXPECT_EQ(report->category, -1);
}

TEST(ServerOutput, ReadsAShellsSubPlugins)
{
    const auto report = ParsePluginReport(Lines({
        "  \"category\":  10,", "  \"synthEdit\": false,", "  \"shells\": {",
        "        \"00000005\": \"Shell Five\",", "        \"4C6F6E67\": \"Long \\\"Name\\\"\",",
        "        \"00000009\": \"\",", "  },"}));
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->IsShell());
    ASSERT_EQ(report->subPlugins.size(), 3u);
    EXPECT_EQ(report->subPlugins[0].id, 5u);
    EXPECT_EQ(report->subPlugins[0].name, "Shell Five");
    EXPECT_EQ(report->subPlugins[1].id, 0x4C6F6E67u);
    EXPECT_EQ(report->subPlugins[1].name, "Long \"Name\"");
    EXPECT_EQ(report->subPlugins[2].name, "");
    const auto empty = ParsePluginReport(Lines({"  \"category\":  10,", "  \"shells\": {", "  },"}));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->subPlugins.empty());
}

TEST(ServerOutput, UnescapesNamesIntoUtf8)
{
    std::string text;
    ASSERT_TRUE(UnescapeReportString("Quote\\\" Back\\\\ Slash\\/ Tab\\t\\n\\r\\b\\f", text));
    EXPECT_EQ(text, "Quote\" Back\\ Slash/ Tab\t\n\r\b\f");
    ASSERT_TRUE(UnescapeReportString("caf\\u00e9 \\u007f\x1B", text));
    EXPECT_EQ(text, "caf\xC3\xA9 \x7F\x1B");
    ASSERT_TRUE(UnescapeReportString("\\ud83d\\ude00", text));
    EXPECT_EQ(text, "\xF0\x9F\x98\x80");
    ASSERT_TRUE(UnescapeReportString("\\ud83dx", text));  // a lone surrogate
    EXPECT_EQ(text, "\xEF\xBF\xBDx");
    EXPECT_FALSE(UnescapeReportString("\\q", text));
    EXPECT_FALSE(UnescapeReportString("\\u12", text));
    EXPECT_FALSE(UnescapeReportString("trailing\\", text));
}

TEST(ServerOutput, RefusesReportsThatAreCutShortOrBroken)
{
    std::string problem;
    auto cut = kOrdinary;
    cut.pop_back();
    EXPECT_FALSE(ParsePluginReport(cut, &problem));
    EXPECT_NE(problem.find("closing"), std::string::npos);
    EXPECT_FALSE(ParsePluginReport({}, &problem));
    EXPECT_FALSE(ParsePluginReport(Lines({"  \"numInputs\": two,"}), &problem));
    EXPECT_FALSE(ParsePluginReport(Lines({"  \"numInputs\": 4294967297,"}), &problem));  // no wrapping to 1
    EXPECT_FALSE(ParsePluginReport(Lines({"  \"category\":  -2147483649,"}), &problem));
    EXPECT_FALSE(ParsePluginReport(Lines({"  \"id\":        \"nothex\","}), &problem));
    EXPECT_FALSE(ParsePluginReport(Lines({"  \"name\":      \"unterminated,"}), &problem));
    EXPECT_FALSE(ParsePluginReport(Lines({"  \"shells\": {", "        \"00000005\": \"cut"}), &problem));
    // Keys a later server may add are passed over.
    EXPECT_TRUE(ParsePluginReport(Lines({"  \"future\":    \"value\","})));
}

}  // namespace
