#include <gtest/gtest.h>

#include <cstring>

#include "probe/vst2/HostCallback.h"
#include "tests/unit/CapturedOutput.h"

namespace {

intptr_t Call(int32_t opcode, void* pointer = nullptr)
{
    return HostCallback(nullptr, opcode, 0, 0, pointer, 0.0f);
}

class HostCallbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TakeCapturedOutput();
        CurrentShellId = 0;
        PluginWantsMidi = false;
    }
};

TEST_F(HostCallbackTest, AnswersTheFixedQuestionsAndTracesEachCall)
{
    EXPECT_EQ(Call(audioMasterVersion), 2400);
    EXPECT_EQ(TakeCapturedOutput(), "info:Audio master callback: 1 - audioMasterVersion\n");
    EXPECT_EQ(Call(audioMasterAutomate), 0);
    EXPECT_EQ(TakeCapturedOutput(), "info:Audio master callback: 0 - audioMasterAutomate\n");
    EXPECT_EQ(Call(audioMasterNeedIdle), 1);
    EXPECT_EQ(Call(audioMasterGetSampleRate), 44100);
    EXPECT_EQ(Call(audioMasterGetBlockSize), 512);
    EXPECT_EQ(Call(audioMasterGetCurrentProcessLevel), 4);
    EXPECT_EQ(Call(audioMasterGetVendorVersion), 3);
    EXPECT_EQ(TakeCapturedOutput().find("warn:"), std::string::npos);
}

TEST_F(HostCallbackTest, WarnsAboutEverythingElse)
{
    EXPECT_EQ(Call(audioMasterIdle), 0);
    EXPECT_EQ(TakeCapturedOutput(),
              "info:Audio master callback: 3 - audioMasterIdle\nwarn:Unhandled audioMaster opCode - 3\n");
    EXPECT_EQ(Call(5), 0);
    EXPECT_EQ(TakeCapturedOutput(), "info:Audio master callback: 5 - <unknown>\nwarn:Unhandled audioMaster opCode - 5\n");
    EXPECT_EQ(Call(50), 0);
    EXPECT_EQ(TakeCapturedOutput(), "info:Audio master callback: 50 - <unknown>\nwarn:Unhandled audioMaster opCode - 50\n");
    EXPECT_EQ(Call(-1), 0);
    EXPECT_EQ(TakeCapturedOutput(), "info:Audio master callback: -1 - <unknown>\nwarn:Unhandled audioMaster opCode - -1\n");
    EXPECT_EQ(Call(audioMasterGetTime), 0);
    EXPECT_EQ(TakeCapturedOutput(),
              "info:Audio master callback: 7 - audioMasterGetTime\nwarn:Unhandled audioMaster opCode - 7\n");
}

TEST_F(HostCallbackTest, NamesEveryOpcodeOfTheTable)
{
    EXPECT_STREQ(AudioMasterOpcodeName(4), "audioMasterPinConnected");
    EXPECT_STREQ(AudioMasterOpcodeName(22), "audioMasterWillReplaceOrAccumulate");
    EXPECT_STREQ(AudioMasterOpcodeName(29), "audioMasterOfflineGetCurrentMetaPass");
    EXPECT_STREQ(AudioMasterOpcodeName(49), "audioMasterGetInputSpeakerArrangement");
    int named = 0;
    for (int32_t opcode = -5; opcode < 60; ++opcode)
        if (std::strcmp(AudioMasterOpcodeName(opcode), "<unknown>") != 0) ++named;
    EXPECT_EQ(named, 49);  // 0 to 49 without 5
}

TEST_F(HostCallbackTest, GivesTheCurrentShellIdAndRecordsAWishForMidi)
{
    EXPECT_EQ(Call(audioMasterCurrentId), 0);
    CurrentShellId = static_cast<int32_t>(0xFFFFFFF0);
    EXPECT_EQ(Call(audioMasterCurrentId), -16);  // sign-extended
    EXPECT_FALSE(PluginWantsMidi);
    EXPECT_EQ(Call(audioMasterWantMidi), 0);
    EXPECT_TRUE(PluginWantsMidi);
}

TEST_F(HostCallbackTest, CopiesItsNamesIntoThePluginsBuffer)
{
    char buffer[64];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(Call(audioMasterGetProductString, buffer), 1);
    EXPECT_STREQ(buffer, "Tessarine");
    EXPECT_EQ(buffer[10], 'x');  // nothing past the terminator is touched
    EXPECT_EQ(Call(audioMasterGetVendorString, buffer), 1);
    EXPECT_STREQ(buffer, "Orvalen Studios");
    EXPECT_EQ(Call(audioMasterGetVendorString, nullptr), 0);
    EXPECT_EQ(Call(audioMasterGetProductString, nullptr), 0);
}

TEST_F(HostCallbackTest, AnswersCapabilitiesIgnoringAsciiCaseOnly)
{
    char word[] = "shellCategory";
    EXPECT_EQ(Call(audioMasterCanDo, word), 1);
    EXPECT_EQ(TakeCapturedOutput(), "info:Query host can do: 'shellCategory'\n");
    for (const char* yes : {"SHELLCATEGORY", "ShellCategory", "sizeWindow", "sendVstMidiEventFlagIsRealtime"})
        EXPECT_EQ(Call(audioMasterCanDo, const_cast<char*>(yes)), 1) << yes;
    for (const char* no : {"shellCategory ", "", "offline", "sizeWindo", "s\xC9zeWindow"})
        EXPECT_EQ(Call(audioMasterCanDo, const_cast<char*>(no)), 0) << no;
    EXPECT_EQ(Call(audioMasterCanDo, nullptr), 0);
    const std::string trace = TakeCapturedOutput();
    EXPECT_EQ(trace.find("Audio master callback"), std::string::npos);
    EXPECT_NE(trace.find("info:Query host can do: 's\xC3\x89zeWindow'\n"), std::string::npos);
}

TEST_F(HostCallbackTest, ACapabilityWithALineBreakStaysOnOneLine)
{
    char word[] = "evil\nwarn:forged";
    EXPECT_EQ(Call(audioMasterCanDo, word), 0);
    EXPECT_EQ(TakeCapturedOutput(), "info:Query host can do: 'evil\\nwarn:forged'\n");
}

}  // namespace
