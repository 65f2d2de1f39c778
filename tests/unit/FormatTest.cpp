#include <gtest/gtest.h>

#include <clocale>

#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "tests/unit/CapturedOutput.h"

namespace {

TEST(FormatString, FollowsTheWindowsWideConventions)
{
    EXPECT_EQ(FormatString(u"'%s'", u"C:\\Plug-ins\\Ünïcode.dll"), u"'C:\\Plug-ins\\Ünïcode.dll'");
    EXPECT_EQ(FormatString(u"%S", "caf\xE9"), u"caf\u00E9");  // widened byte for byte
    EXPECT_EQ(FormatString(u"%i|%i|%i", 0, -42, 2147483647), u"0|-42|2147483647");
    EXPECT_EQ(FormatString(u"%i", static_cast<int>(0x80000000u)), u"-2147483648");
    EXPECT_EQ(FormatString(u"%.8X", 0x1Au), u"0000001A");
    EXPECT_EQ(FormatString(u"%.8X", 0xFFFFFFFFu), u"FFFFFFFF");
    EXPECT_EQ(FormatString(u"\\u%.4x", 0xE9u), u"\\u00e9");
    EXPECT_EQ(FormatString(u"%.4x", 0x1F600u), u"1f600");  // at least four digits
    EXPECT_EQ(FormatString(u"%.4i-%.2i-%.2i", 2026, 1, 5), u"2026-01-05");
    EXPECT_EQ(FormatString(u"%.2i", 123), u"123");
    EXPECT_EQ(FormatString(u"100%%"), u"100%");
}

TEST(FormatString, PrintsPointersAsSixteenUpperCaseDigits)
{
    EXPECT_EQ(FormatString(u"%p", reinterpret_cast<void*>(uintptr_t{0x7FFAB0C10000})), u"00007FFAB0C10000");
    EXPECT_EQ(FormatString(u"%p", nullptr), u"0000000000000000");
}

TEST(FormatString, HandlesWidthFlagsAndExplicitSizes)
{
    EXPECT_EQ(FormatString(u"[%5i][%-5i][%05i][%+i]", 42, 42, 42, 42), u"[   42][42   ][00042][+42]");
    EXPECT_EQ(FormatString(u"[%hs][%ls][%.3s]", "narrow", u"wide", u"abcdef"), u"[narrow][wide][abc]");
    EXPECT_EQ(FormatString(u"%I64u %llx", 18446744073709551615ull, 0x123456789ull), u"18446744073709551615 123456789");
    EXPECT_EQ(FormatString(u"%c%C", u'\u00E9', 'A'), u"\u00E9A");
    EXPECT_EQ(FormatString(u"[%*i][%.*i]", -3, 7, 2, 7), u"[7  ][07]");
    EXPECT_EQ(FormatString(u"[%#.0o][%#o][%#x][%#.0x]", 0u, 8u, 0u, 0u), u"[0][010][0][]");  // as the C library
    // A width or precision from an argument is bounded, whatever it is.
    EXPECT_EQ(FormatString(u"%*i", INT32_MIN, 1).size(), 100000u);
    EXPECT_EQ(FormatString(u"%.*i", INT32_MIN, 1), u"1");
    EXPECT_EQ(FormatString(u"%s|%S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
              u"(null)|(null)");
}

// A plug-in may leave the process in a comma-decimal locale; the server's numbers keep their point.
TEST(FormatDecimal, IsTheSameInEveryLocale)
{
#if defined(_WIN32)
    ASSERT_NE(setlocale(LC_ALL, "German"), nullptr);
#else
    ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup.sh makes this locale";
#endif
    EXPECT_EQ(FormatDecimal(0.5, 4), u"0.5000");
    EXPECT_EQ(FormatDecimal(-1234567.25, 1), u"-1234567.2");
    EXPECT_EQ(FormatDecimal(3, 0), u"3");
    setlocale(LC_ALL, "C");
}

TEST(FormatString, AnUnknownConversionGivesAnEmptyText)
{
    EXPECT_EQ(FormatString(u"abc %q def", 1), u"");
    EXPECT_EQ(FormatString(u"trailing %"), u"");
    EXPECT_EQ(FormatString(u""), u"");
}

TEST(LogLine, WritesLevelColonAndUtf8TextInOneWrite)
{
    LogInfo(u"Finished\n");
    EXPECT_EQ(TakeCapturedOutput(), "info:Finished\n");
    LogReport(u"{\n");
    EXPECT_EQ(TakeCapturedOutput(), ">:{\n");
    LogWarn(u"Unhandled audioMaster opCode - %i\n", 3);
    EXPECT_EQ(TakeCapturedOutput(), "warn:Unhandled audioMaster opCode - 3\n");
    LogInfo(u"Query host can do: '%S'\n", "\xE9t\xE9");
    EXPECT_EQ(TakeCapturedOutput(), "info:Query host can do: '\xC3\xA9t\xC3\xA9'\n");
    LogInfo(u"Scanning plugin: '%s'\n", u"C:\\\U0001F600.dll");
    EXPECT_EQ(TakeCapturedOutput(), "info:Scanning plugin: 'C:\\\xF0\x9F\x98\x80.dll'\n");
}

TEST(LogLine, ABadOrEmptyFormatLeavesOnlyTheLevel)
{
    LogError(u"%q\n");
    EXPECT_EQ(TakeCapturedOutput(), "error:");
    LogInfo(u"");
    EXPECT_EQ(TakeCapturedOutput(), "info:");
}

TEST(LogLine, LineBreaksInArgumentsCannotStartALineOfTheirOwn)
{
    LogInfo(u"Scanning plugin: '%s'\n", u"C:\\evil\nready:\r\n.dll");
    EXPECT_EQ(TakeCapturedOutput(), "info:Scanning plugin: 'C:\\evil\\nready:\\r\\n.dll'\n");
    LogInfo(u"Found shell: %.8X - %S\n", 5u, "two\nlines");
    EXPECT_EQ(TakeCapturedOutput(), "info:Found shell: 00000005 - two\\nlines\n");
    // The format's own line feeds stay.
    EXPECT_EQ(FormatString(u"%s\n", u"a\nb"), u"a\nb\n");
}

}  // namespace
