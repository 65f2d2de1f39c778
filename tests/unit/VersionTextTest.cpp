#include <gtest/gtest.h>

#include <cstring>

#include "probe/VersionText.h"

namespace {

TEST(FormatVendorVersion, TellsTheEncodingsApartByRange)
{
    const std::pair<int32_t, const char16_t*> table[] = {
        {0, u""},
        {5, u"5.0.0.0"},
        {-1, u"-1.0.0.0"},
        {10, u"0.0.1.0"},
        {1234, u"1.2.3.4"},
        {9999, u"9.9.9.9"},
        {10000, u"1.0.0.0"},
        {12345, u"1.2.3.4"},
        {65535, u"6.5.5.3"},
        {65536, u"1.0.0.0"},
        {0x010203, u"1.2.3.0"},
        {6619135, u"100.255.255.0"},
        {6619136, u"0.66.19.136"},
        {12345678, u"1.23.45.678"},
        {2147483647, u"214.74.83.647"},
        {INT32_MIN, u"-2147483648.0.0.0"},
    };
    for (const auto& [version, text] : table) EXPECT_EQ(FormatVendorVersion(version), text) << version;
}

TEST(FormatResourceVersion, PrefersTheProductVersionThenTheFileVersion)
{
    EXPECT_EQ(FormatResourceVersion(0x00020001, 0x00000007, 0x00010000, 0x00000003), u"2.1.0.7");
    EXPECT_EQ(FormatResourceVersion(0, 0, 0x00010000, 0x00000003), u"1.0.0.3");
    EXPECT_EQ(FormatResourceVersion(0, 0, 0, 0), u"");
    EXPECT_EQ(FormatResourceVersion(0, 1, 0x00010000, 0), u"0.0.0.1");  // one word set is enough
    EXPECT_EQ(FormatResourceVersion(0xFFFFFFFF, 0xFFFEFFFD, 0, 0), u"65535.65535.65534.65533");
}

intptr_t WritesTextWithoutItsEnd(AEffect*, int32_t, int32_t, intptr_t, void* text, float)
{
    std::memcpy(text, "Abc", 3);
    return 1;
}

void LeaveBytesOnTheStack()
{
    volatile char junk[4096];
    for (char& c : const_cast<char(&)[4096]>(junk)) c = 'x';
}

TEST(VstTextQuery, GivesOnlyWhatThePluginWrote)
{
    AEffect effect{};
    effect.dispatcher = WritesTextWithoutItsEnd;
    LeaveBytesOnTheStack();
    EXPECT_EQ(VstTextQuery(&effect, 45), u"Abc");
}

TEST(TextFromPluginBuffer, WidensBytesAndNeverReadsPastTheBuffer)
{
    EXPECT_EQ(TextFromPluginBuffer("caf\xE9\0tail", 9), u"caf\u00E9");
    EXPECT_EQ(TextFromPluginBuffer("\xC3\xA9", 3), u"\u00C3\u00A9");  // UTF-8 is not decoded
    char full[kVstTextBufferSize];
    std::memset(full, 'N', sizeof(full));
    EXPECT_EQ(TextFromPluginBuffer(full, sizeof(full)), std::u16string(kVstTextBufferSize, u'N'));
}

}  // namespace
