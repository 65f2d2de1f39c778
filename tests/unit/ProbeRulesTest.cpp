#include <gtest/gtest.h>

#include "probe/vst2/ProbeRules.h"
#include "probe/vst2/Vst2Abi.h"
#include "server/DumpFileName.h"

namespace {

TEST(SplitRequestPath, SplitsAtTheFirstMarkerAndReadsHexDigits)
{
    const auto plain = SplitRequestPath(u"C:\\Shell.dll");
    EXPECT_EQ(plain.libraryPath, u"C:\\Shell.dll");
    EXPECT_EQ(plain.shellId, 0);
    const auto named = SplitRequestPath(u"C:\\Shell.dll>1a2B");
    EXPECT_EQ(named.libraryPath, u"C:\\Shell.dll");
    EXPECT_EQ(named.shellId, 0x1A2B);
    EXPECT_EQ(SplitRequestPath(u"C:\\Shell.dll>").shellId, 0);
    EXPECT_EQ(SplitRequestPath(u"C:\\Shell.dll>12x34").shellId, 0x12);
    EXPECT_EQ(SplitRequestPath(u"C:\\Shell.dll>123456789").shellId, 0x23456789);
    EXPECT_EQ(SplitRequestPath(u"C:\\Shell.dll>FFFFFFFF").shellId, -1);
    const auto twice = SplitRequestPath(u"C:\\a>5>7");
    EXPECT_EQ(twice.libraryPath, u"C:\\a");
    EXPECT_EQ(twice.shellId, 5);
}

TEST(CorrectCategory, TheSynthFlagWinsAndUnknownIsToldByInputs)
{
    EXPECT_EQ(CorrectCategory(kPlugCategEffect, effFlagsIsSynth, 2), kPlugCategSynth);
    EXPECT_EQ(CorrectCategory(kPlugCategShell, effFlagsIsSynth, 0), kPlugCategSynth);
    EXPECT_EQ(CorrectCategory(kPlugCategUnknown, 0, 0), kPlugCategSynth);
    EXPECT_EQ(CorrectCategory(kPlugCategUnknown, 0, 2), kPlugCategEffect);
    EXPECT_EQ(CorrectCategory(5, 0, 2), 5);
    EXPECT_EQ(CorrectCategory(-7, 0, 2), -7);
}

TEST(CapabilityAnswerIsYes, AnythingButMinusOneIsYes)
{
    EXPECT_TRUE(CapabilityAnswerIsYes(1));
    EXPECT_TRUE(CapabilityAnswerIsYes(0));
    EXPECT_FALSE(CapabilityAnswerIsYes(-1));
    EXPECT_FALSE(CapabilityAnswerIsYes(0xFFFFFFFF));  // only the low 32 bits count
    EXPECT_FALSE(CapabilityAnswerIsYes(0x1FFFFFFFF));
}

TEST(DumpFileName, PadsEveryFieldAndKeepsTheFolderAsGiven)
{
    char16_t path[80];
    EXPECT_GT(FormatDumpPath(path, 80, u"D:\\Dumps", u"ScanServer-x64", {2026, 12, 6, 13, 34, 9}), 0u);
    EXPECT_EQ(std::u16string(path), u"D:\\Dumps\\ScanServer-x64-2026-12-06-13-34-09.mdmp");
    FormatDumpPath(path, 80, u"D:\\Dumps\\", u"ScanServer-x64", {2027, 1, 5, 7, 3, 2});
    EXPECT_EQ(std::u16string(path), u"D:\\Dumps\\\\ScanServer-x64-2027-01-05-07-03-02.mdmp");
}

TEST(DumpFileName, RefusesABufferTooSmallInsteadOfCuttingThePath)
{
    const std::u16string folder(230, u'f');
    std::u16string path(folder.size() + 14 + kDumpNameFixedUnits, u'?');
    const size_t length = FormatDumpPath(path.data(), path.size(), folder.c_str(), u"ScanServer-x64", {2026, 1, 1, 0, 0, 0});
    EXPECT_EQ(length, path.size() - 1);
    EXPECT_EQ(FormatDumpPath(path.data(), 100, folder.c_str(), u"ScanServer-x64", {2026, 1, 1, 0, 0, 0}), 0u);
}

}  // namespace
