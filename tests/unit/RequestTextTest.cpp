#include <gtest/gtest.h>

#include <string>

#include "protocol/HexArgument.h"
#include "protocol/RequestText.h"

namespace {

TEST(ParseHexArgument, ReadsBareDigitsOnly)
{
    EXPECT_EQ(ParseHexArgument(u"1a4"), 0x1A4u);
    EXPECT_EQ(ParseHexArgument(u"1A4"), 0x1A4u);
    EXPECT_EQ(ParseHexArgument(u"0x1A4"), 0u);
    EXPECT_EQ(ParseHexArgument(u""), 0u);
    EXPECT_EQ(ParseHexArgument(u" 1A4"), 0u);
    EXPECT_EQ(ParseHexArgument(u"12g4"), 0x12u);
    EXPECT_EQ(ParseHexArgument(u"FFFFFFFFFFFFFFFF"), 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(ParseHexArgument(u"123456789ABCDEF01"), 0x23456789ABCDEF01ull);  // the last 16 count
}

TEST(RequestText, IsCutAtTheFirstLineFeedOrZeroByte)
{
    const std::string crlf = "C:\\a.dll\r\n";
    EXPECT_EQ(CutRequestText(crlf.data(), crlf.size()), "C:\\a.dll\r");
    const std::string two = "C:\\a.dll\nC:\\b.dll\n";
    EXPECT_EQ(CutRequestText(two.data(), two.size()), "C:\\a.dll");
    EXPECT_EQ(CutRequestText("\n", 1), "");
    const std::string zero("C:\\a\0b.dll\n", 11);
    EXPECT_EQ(CutRequestText(zero.data(), zero.size()), "C:\\a");
    EXPECT_EQ(CutRequestText("no line feed", 12), "no line feed");
}

TEST(RequestText, AFullReadWithoutLineFeedIsTooLong)
{
    std::string bytes(kRequestBufferSize, 'x');
    EXPECT_TRUE(IsOverlongRead(bytes.data(), bytes.size()));
    bytes[kRequestBufferSize - 1] = '\n';  // 1023 bytes and the line feed: still fits
    EXPECT_FALSE(IsOverlongRead(bytes.data(), bytes.size()));
    EXPECT_FALSE(IsOverlongRead(bytes.data(), 500));
}

}  // namespace

TEST(RequestText, APathHoldingWhatNoWindowsFileNameHoldsIsRefusedWithWhatItHolds)
{
    EXPECT_EQ(ForbiddenPathCharacter("C:\\plug-ins\\a.dll"), "");
    EXPECT_EQ(ForbiddenPathCharacter("/home/me/a>b.dll"), "'>'");
    EXPECT_EQ(ForbiddenPathCharacter("/home/me/a\"b.dll"), "'\"'");
    EXPECT_EQ(ForbiddenPathCharacter("/home/me/escape\x1b[2J.dll"), "a control character (0x1B)");
    EXPECT_EQ(ForbiddenPathCharacter("/home/me/bell\a.dll"), "a control character (0x07)");
    // Only the name is held to Windows' rules: the folders are the system's to name.
    EXPECT_EQ(ForbiddenPathCharacter("/home/me?/a.dll"), "");
}
