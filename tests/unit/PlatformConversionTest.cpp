// The portable conversions must give what the Windows functions give on the same input.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/Utf8.h"

namespace {

std::string PlatformToUtf8(const std::u16string& text)
{
    const int units = static_cast<int>(text.size()) + 1;
    std::vector<char> out(3 * text.size() + 3);
    const int written = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(text.c_str()), units,
                                            out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return written > 0 ? std::string(out.data(), written - 1) : std::string("<failed>");
}

std::u16string PlatformUtf8ToUtf16(const std::string& bytes)
{
    std::vector<wchar_t> out(bytes.size() + 1);
    const int written = MultiByteToWideChar(CP_UTF8, 0, bytes.c_str(), -1, out.data(), static_cast<int>(out.size()));
    return written > 0 ? std::u16string(reinterpret_cast<const char16_t*>(out.data()), written - 1) : u"<failed>";
}

TEST(PlatformConversion, ToUtf8MatchesWideCharToMultiByte)
{
    const std::vector<std::u16string> inputs = {
        u"", u"plain", u"C:\\Pl\u00FCgins\\\u00E9\u20AC.dll", u"\U0001F600\U0010FFFF",
        std::u16string{u'a', char16_t(0xD83D), u'b'}, std::u16string{char16_t(0xDE00)},
        std::u16string{u'x', char16_t(0xD83D)}, std::u16string{char16_t(0xDE00), char16_t(0xD83D)},
        std::u16string{char16_t(0xFFFF), char16_t(0xFFFE), char16_t(0x7F)},
    };
    for (const auto& input : inputs) EXPECT_EQ(ToUtf8(input), PlatformToUtf8(input)) << ToUtf8(input);
}

TEST(PlatformConversion, Utf8ToUtf16MatchesMultiByteToWideChar)
{
    const std::vector<std::string> inputs = {
        "", "plain", "C:\\Pl\xC3\xBCgins\\M\xC3\xBCller.dll\r", "\xF0\x9F\x98\x80", "\xE2\x82\xAC",
        "a\xFF" "b", "\xC3", "\xE2\x82" "A", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80\x80",
        "\xF0\x9F\x98", "\xEF\xBF\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80",
        "\xF0\x90\x80\x80", "\xED\x9F\xBF", "\xC2\x80", "\xDF\xBF", "\xF8\x88\x80\x80\x80", "x\xC3(y",
    };
    for (const auto& input : inputs) EXPECT_EQ(Utf8ToUtf16(input), PlatformUtf8ToUtf16(input)) << input;
}

}  // namespace
