// What reaches a terminal, a JSON reader or a spreadsheet from a plug-in's texts.
#include <gtest/gtest.h>

#include "scanner/Formats.h"
#include "host/SafeText.h"

namespace {

TEST(SafeText, ATerminalSeesEveryControlAsAPictureAndKeepsEveryOtherCharacter)
{
    EXPECT_EQ(TerminalSafe("\x1b[31mred\x07"), "\u241b[31mred\u2407");
    EXPECT_EQ(TerminalSafe("del\x7f c1\xc2\x9b bidi\u202e\u2066"), "del\u2421 c1\ufffd bidi\ufffd\ufffd");
    EXPECT_EQ(TerminalSafe("broken \xff\xc3"), "broken \ufffd\ufffd");
    EXPECT_EQ(TerminalSafe("caf\u00e9 \u65e5\u672c \U0001F3B9 \u202f"), "caf\u00e9 \u65e5\u672c \U0001F3B9 \u202f");
}

TEST(SafeText, JsonEscapesWhatItsWriterLeavesInvisible)
{
    EXPECT_EQ(EscapeInvisibleInJson("{\"n\":\"a\x7f\xc2\x85\u202a\u2069 \u00e9\"}"),
              "{\"n\":\"a\\u007f\\u0085\\u202a\\u2069 \u00e9\"}");
}

TEST(SafeText, CsvIsRfc4180AndNoCellRunsAFormula)
{
    Json record{{"path", "C:\\=x.dll"}, {"status", "ok"}, {"error", ""},
                {"report", {{"id", "00000001"}, {"name", "=HYPERLINK(\"x\")"}, {"vendor", "line\nbreak, \"quoted\""},
                            {"product", "+1"}, {"version", "-2"}, {"category", -1}}}};
    const std::string csv = FormatCsv({record});
    const std::string row = csv.substr(csv.find("\r\n") + 2);
    // Controls are shown as the terminal shows them: no pipe or terminal is at a plug-in's mercy.
    EXPECT_EQ(row, "C:\\=x.dll,,ok,,vst2,00000001,\"'=HYPERLINK(\"\"x\"\")\",\"line\xE2\x90\x8A" "break, \"\"quoted\"\"\",'+1,'-2,'-1,,,,,,,,,,,\r\n");
    // The check's fields pass the same guard: a forged report or database holds anything.
    record["check"] = {{"status", "=1+1"}, {"sampleRates", "=HYPERLINK(\"x\")"}, {"blockSizes", "\x1b[2J\a\u202e"}};
    const std::string checked = FormatCsv({record});
    EXPECT_NE(checked.find(",'=1+1,"), std::string::npos) << checked;
    EXPECT_NE(checked.find("\"'=HYPERLINK(\"\"x\"\")\""), std::string::npos) << checked;
    EXPECT_EQ(checked.find_first_of("\x1b\a"), std::string::npos) << checked;
    EXPECT_EQ(checked.find("\u202e"), std::string::npos) << checked;
    for (const char* start : {"@", "\t", "\r", "-", "+", "="}) EXPECT_EQ(FormulaSafe(start + std::string("a"))[0], '\'');
    EXPECT_EQ(FormulaSafe("a=b"), "a=b");
}

}  // namespace
