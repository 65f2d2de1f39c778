#include <gtest/gtest.h>

#include "protocol/Platform.h"
#include "protocol/Utf8.h"
#include "report/JsonReport.h"
#include "tests/unit/CapturedOutput.h"

namespace {

std::string Report(const CScanResult& result)
{
    TakeCapturedOutput();
    WriteScanReport(result);
    return TakeCapturedOutput();
}

void AddShell(CScanResult& result, int32_t id, const std::u16string& name)
{
    auto* shell = new CShellInfo;
    shell->name = name;
    shell->id = id;
    result.shells.Add(shell);
}

const std::string kUnfilledReport =
    ">:{\n"
    ">:  \"id\":        \"00000000\",\n"
    ">:  \"name\":      \"\",\n"
    ">:  \"vendor\":    \"\",\n"
    ">:  \"product\":   \"\",\n"
    ">:  \"version\":   \"\",\n"
    ">:  \"error\":     \"\",\n"
    ">:  \"numInputs\": 0,\n"
    ">:  \"numOutputs\":0,\n"
    ">:  \"wantsMidi\":  false,\n"
    ">:  \"sendsMidi\": false,\n"
    ">:  \"platform\":  \"" + ToUtf8(kPlatformName) + "\",\n"
    ">:  \"audio64\":   false,\n"
    ">:  \"category\":  -1,\n"
    ">:  \"synthEdit\": false,\n"
    ">:}\n";

TEST(JsonReport, PrintsARecordThatNothingFilled)
{
    EXPECT_EQ(Report(CScanResult()), kUnfilledReport);
}

TEST(JsonReport, PrintsAFailedLoadWithItsError)
{
    CScanResult result;
    result.error = u"Failed to load library, err=126";
    std::string expected = kUnfilledReport;
    expected.replace(expected.find("\"error\":     \"\""), 15, "\"error\":     \"Failed to load library, err=126\"");
    EXPECT_EQ(Report(result), expected);
}

TEST(JsonReport, PrintsEveryFieldOfAScannedPlugin)
{
    CScanResult result;
    result.id = -1;
    result.name = u"Name";
    result.vendor = u"Vendor";
    result.product = u"Product";
    result.version = u"1.2.3.4";
    result.numInputs = 2;
    result.numOutputs = 16;
    result.wantsMidi = result.audio64 = true;
    result.sendsMidi = result.synthEdit = false;
    result.category = 5;
    EXPECT_EQ(Report(result),
              ">:{\n"
              ">:  \"id\":        \"FFFFFFFF\",\n"
              ">:  \"name\":      \"Name\",\n"
              ">:  \"vendor\":    \"Vendor\",\n"
              ">:  \"product\":   \"Product\",\n"
              ">:  \"version\":   \"1.2.3.4\",\n"
              ">:  \"error\":     \"\",\n"
              ">:  \"numInputs\": 2,\n"
              ">:  \"numOutputs\":16,\n"
              ">:  \"wantsMidi\":  true,\n"
              ">:  \"sendsMidi\": false,\n"
              ">:  \"platform\":  \"" + ToUtf8(kPlatformName) + "\",\n"
              ">:  \"audio64\":   true,\n"
              ">:  \"category\":  5,\n"
              ">:  \"synthEdit\": false,\n"
              ">:}\n");
}

TEST(JsonReport, PrintsTheShellBlockForCategoryTenOnly)
{
    CScanResult empty;
    empty.category = 10;
    const std::string emptyShell = Report(empty);
    EXPECT_NE(emptyShell.find(">:  \"synthEdit\": false,\n>:  \"shells\": {\n>:  },\n>:}\n"), std::string::npos)
        << emptyShell;

    CScanResult shell;
    shell.category = 10;
    AddShell(shell, 5, u"Five \"quoted\"");
    AddShell(shell, 0x4C6F6E67, u"");
    AddShell(shell, 5, u"Five again");  // the report prints what the probe kept
    EXPECT_NE(Report(shell).find(">:  \"shells\": {\n"
                                 ">:        \"00000005\": \"Five \\\"quoted\\\"\",\n"
                                 ">:        \"4C6F6E67\": \"\",\n"
                                 ">:        \"00000005\": \"Five again\",\n"
                                 ">:  },\n"
                                 ">:}\n"),
              std::string::npos);

    CScanResult notShell;
    notShell.category = 2;
    AddShell(notShell, 9, u"ignored");
    EXPECT_EQ(Report(notShell).find("shells"), std::string::npos);
}

TEST(EscapeJson, EscapesByTheReportsOwnTable)
{
    EXPECT_EQ(EscapeJson(u"a\"b\\c/d"), u"a\\\"b\\\\c\\/d");
    EXPECT_EQ(EscapeJson(u"\t\n\r\b\f"), u"\\t\\n\\r\\b\\f");
    EXPECT_EQ(EscapeJson(u"\u00E9\u007F\u000B\u0013\u0001"), u"\\u00e9\\u007f\\u000b\\u0013\\u0001");
    EXPECT_EQ(EscapeJson(u"\u001B\u001F\u0014 ~"), u"\u001B\u001F\u0014 ~");  // passed through
    EXPECT_EQ(EscapeJson(u"\U0001F600"), u"\\ud83d\\ude00");
    EXPECT_EQ(EscapeJson(u""), u"");
}

TEST(JsonReport, StaysOneLinePerFieldWhateverTheNames)
{
    CScanResult result;
    result.name = u"line\nbreak\r\t\u00E9";
    const std::string report = Report(result);
    EXPECT_NE(report.find(">:  \"name\":      \"line\\nbreak\\r\\t\\u00e9\",\n"), std::string::npos);
    for (char c : report) EXPECT_TRUE(c == '\n' || (c >= 0x14 && c <= 0x7E)) << static_cast<int>(c);
}

}  // namespace
