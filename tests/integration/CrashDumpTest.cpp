// Plug-ins that crash: the server leaves a minidump named after the local time in the folder the
// host named, and ends with exit code 9, whoever installed which filter and on whichever thread.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "tests/support/ServerHarness.h"

namespace {

constexpr DWORD kCrashExitCode = 9;

class CrashDumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"tessarine-dumps-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount64());
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (const auto& file : Files(folder)) DeleteFileW((folder + L"\\" + file).c_str());
        RemoveDirectoryW(folder.c_str());
    }

    static std::vector<std::wstring> Files(const std::wstring& in)
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((in + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

    DWORD Crash(const std::wstring& plugin, const std::wstring& dumpFolder, bool passFolder = true,
                const std::wstring& machine = L"x64")
    {
        CServerOptions options;
        options.passDumpFolder = passFolder;
        options.dumpFolder = dumpFolder;
        options.serverName = L"ScanServer-" + machine + L".exe";
        const std::wstring zoo = machine == L"x64" ? L"\\plugins\\" : L"\\plugins-x86\\";
        DWORD exitCode = 0;
        output = RunRequests({ToUtf8(ProgramFolder() + zoo + plugin + L".dll") + "\n"}, options, &exitCode);
        return exitCode;
    }

    // The one dump in the folder: named from a local time within the test's run, with the
    // minidump signature.
    void ExpectOneDump(SYSTEMTIME before, const std::string& machine = "x64")
    {
        const auto files = Files(folder);
        std::string names;
        for (const auto& file : files) names += ToUtf8(file) + " ";
        ASSERT_EQ(files.size(), 1u) << names;
        const std::string name = ToUtf8(files[0]);
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(name, parts, std::regex(
            "ScanServer-" + machine + "-([0-9]{4})-([0-9]{2})-([0-9]{2})-([0-9]{2})-([0-9]{2})-([0-9]{2})\\.mdmp"))) << name;
        SYSTEMTIME stamp{};
        stamp.wYear = std::stoi(parts[1]);
        stamp.wMonth = std::stoi(parts[2]);
        stamp.wDay = std::stoi(parts[3]);
        stamp.wHour = std::stoi(parts[4]);
        stamp.wMinute = std::stoi(parts[5]);
        stamp.wSecond = std::stoi(parts[6]);
        SYSTEMTIME after;
        GetLocalTime(&after);
        before.wMilliseconds = 0;
        FILETIME low, at, high;
        SystemTimeToFileTime(&before, &low);
        SystemTimeToFileTime(&stamp, &at);
        SystemTimeToFileTime(&after, &high);
        EXPECT_LE(CompareFileTime(&low, &at), 0) << name;
        EXPECT_LE(CompareFileTime(&at, &high), 0) << name;

        FILE* dump = _wfopen((folder + L"\\" + files[0]).c_str(), L"rb");
        ASSERT_NE(dump, nullptr);
        char signature[4] = {};
        EXPECT_EQ(fread(signature, 1, 4, dump), 4u);
        fseek(dump, 0, SEEK_END);
        EXPECT_GT(ftell(dump), 1000);
        fclose(dump);
        EXPECT_EQ(std::string(signature, 4), "MDMP");
    }

    std::wstring folder;
    std::string output;
};

TEST_F(CrashDumpTest, ACrashInTheEntryPointLeavesADumpAndExitCodeNine)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    EXPECT_EQ(Crash(L"crash_in_entry", folder), kCrashExitCode);
    ExpectOneDump(before);
    // The trace goes up to the call that crashed; the pipe then breaks.
    EXPECT_EQ(output.substr(output.size() - 28), "info:Calling entry point...\n");
}

TEST_F(CrashDumpTest, TheThirtyTwoBitServerSaysItsMachineAndLeavesItsOwnDump)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    EXPECT_EQ(Crash(L"crash_in_entry", folder, true, L"x86"), kCrashExitCode);
    ExpectOneDump(before, "x86");
    EXPECT_EQ(output.rfind("info:Tessarine Plugin Scan Server (x86)\nready:\n", 0), 0u) << output;
}

TEST_F(CrashDumpTest, AStackOverflowLeavesADumpOfItsOwn)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    EXPECT_EQ(Crash(L"stack_overflow", folder), kCrashExitCode);
    ExpectOneDump(before);
}

TEST_F(CrashDumpTest, AFolderWithATrailingBackslashStillGetsTheDump)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    EXPECT_EQ(Crash(L"crash_in_entry", folder + L"\\"), kCrashExitCode);
    ExpectOneDump(before);
}

TEST_F(CrashDumpTest, WithoutAFolderNoDumpIsWritten)
{
    EXPECT_EQ(Crash(L"crash_in_entry", L"", false), kCrashExitCode);
    EXPECT_EQ(Crash(L"crash_in_entry", L"", true), kCrashExitCode);  // present but empty
    EXPECT_TRUE(Files(folder).empty());
}

TEST_F(CrashDumpTest, AMissingFolderIsNotCreated)
{
    const std::wstring missing = folder + L"\\not-there";
    EXPECT_EQ(Crash(L"crash_in_entry", missing), kCrashExitCode);
    EXPECT_EQ(GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(Files(folder).empty());
}

TEST_F(CrashDumpTest, APluginsOwnFilterDoesNotStayInPlace)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    // Its filter would end the process with 77 and no dump.
    EXPECT_EQ(Crash(L"own_filter_then_crash", folder), kCrashExitCode);
    ExpectOneDump(before);
}

TEST_F(CrashDumpTest, ACrashOnAPluginsOwnThreadIsCaughtToo)
{
    SYSTEMTIME before;
    GetLocalTime(&before);
    EXPECT_EQ(Crash(L"crash_on_thread", folder), kCrashExitCode);
    ExpectOneDump(before);
}

TEST_F(CrashDumpTest, AFolderTooLongForTheUsualBufferIsNotCutShort)
{
    // 219 units is where a 260-unit path buffer would have cut the name.
    std::wstring deep = folder;
    while (deep.size() < 240) {
        deep += L"\\nested-folder";
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    EXPECT_EQ(Crash(L"crash_in_entry", deep), kCrashExitCode);
    // Wherever the system let it be written, no truncated name landed on the way there.
    std::vector<std::wstring> strays;
    for (std::wstring at = deep; at.size() > folder.size(); at = at.substr(0, at.find_last_of(L'\\'))) {
        for (const auto& file : Files(at)) {
            if (at == deep && std::regex_match(ToUtf8(file), std::regex("ScanServer-x64-[-0-9]{19}\\.mdmp")))
                DeleteFileW((at + L"\\" + file).c_str());
            else
                strays.push_back(at + L"\\" + file);
        }
    }
    for (std::wstring at = deep; at.size() > folder.size(); at = at.substr(0, at.find_last_of(L'\\')))
        RemoveDirectoryW(at.c_str());
    EXPECT_TRUE(strays.empty()) << ToUtf8(strays.empty() ? L"" : strays[0]);
    EXPECT_TRUE(Files(folder).empty());
}

}  // namespace
