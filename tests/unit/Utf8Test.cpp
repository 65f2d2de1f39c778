#include <gtest/gtest.h>

#include "protocol/Utf8.h"

namespace {

TEST(ToUtf8, EncodesEveryPlaneAndPairsSurrogates)
{
    EXPECT_EQ(ToUtf8(u"A\u00E9\u20AC"), "A\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(ToUtf8(u""), "");
}

TEST(ToUtf8, ALoneSurrogateBecomesTheReplacementCharacter)
{
    const char16_t highAlone[] = {u'a', 0xD83D, u'b', 0};
    const char16_t lowAlone[] = {0xDE00, 0};
    const char16_t highAtEnd[] = {u'x', 0xD83D, 0};
    const char16_t reversedPair[] = {0xDE00, 0xD83D, 0};
    EXPECT_EQ(ToUtf8(highAlone), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(ToUtf8(lowAlone), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(highAtEnd), "x\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(reversedPair), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8ToUtf16, DecodesRequestPaths)
{
    EXPECT_EQ(Utf8ToUtf16("C:\\Pl\xC3\xBCgins\\M\xC3\xBCller.dll"), u"C:\\Pl\u00FCgins\\M\u00FCller.dll");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC\r"), u"\u20AC\r");
}

TEST(Utf8ToUtf16, ReplacesEachBrokenSequenceOnce)
{
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");              // cut short at the end
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82" "A"), u"\uFFFDA");     // cut short before a letter
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");    // overlong form
    // The byte that makes a surrogate or a value past U+10FFFF belongs to the broken sequence.
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD\uFFFD");  // overlong
}

TEST(WidenBytes, MapsEachByteToTheUnitOfTheSameValue)
{
    EXPECT_EQ(WidenBytes("\xC3\xA9\xE9\x7F"), u"\u00C3\u00A9\u00E9\u007F");
}

}  // namespace

// Any bytes a Linux name may hold go through text and come back exactly; UTF-8 stays as it is.
TEST(NameBytes, TravelAsTextWithoutLoss)
{
    EXPECT_EQ(EscapeNameBytes("Zam Comp \xC3\xA9.so"), "Zam Comp \xC3\xA9.so");
    EXPECT_EQ(EscapeNameBytes("caf\xE9.so"), "caf\xEF\x9F\xA9.so");  // 0xE9 as U+F7E9
    // A name's own U+F7E9 is escaped byte by byte, so that it cannot be taken for a lone byte.
    EXPECT_EQ(UnescapeNameBytes(EscapeNameBytes("\xEF\x9F\xA9")), "\xEF\x9F\xA9");
    EXPECT_EQ(EscapeNameBytes("\xEF\x9F\xA9").size(), 9u);
    uint32_t seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (int i = round % 17; i > 0; --i) {
            seed = seed * 1664525u + 1013904223u;
            bytes += static_cast<char>(seed >> 24);
        }
        const std::string text = EscapeNameBytes(bytes);
        ASSERT_EQ(ToUtf8(Utf8ToUtf16(text)), text) << round;  // well-formed: JSON and the protocol take it
        ASSERT_EQ(UnescapeNameBytes(text), bytes) << round;
    }
}
