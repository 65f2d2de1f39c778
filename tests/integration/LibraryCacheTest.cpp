// The library cache as a host sees it: which requests load, re-use, keep and free a library.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/ServerHarness.h"

namespace {

std::string Request(const std::wstring& plugin, const std::string& suffix = "")
{
    return ToUtf8(PluginPath(plugin)) + suffix + "\n";
}

// The cache's lines of the whole run, in order, one letter each: L loading, R re-using, K keeping,
// F freeing after the scan, C freeing the cached library ("Freed" follows), E load failed.
std::string CacheSteps(const std::string& output)
{
    const std::pair<const char*, char> steps[] = {
        {"info:Loading library...\n", 'L'},          {"info:Re-using previous library instance...\n", 'R'},
        {"info:Keeping shell library loaded for now...\n", 'K'}, {"info:Freeing library...\n", 'F'},
        {"info:Freeing cached library...\ninfo:Freed\n", 'C'},   {"error:Failed to load library", 'E'},
    };
    std::vector<std::pair<size_t, char>> found;
    for (const auto& [line, letter] : steps)
        for (size_t at = output.find(line); at != std::string::npos; at = output.find(line, at + 1))
            found.emplace_back(at, letter);
    std::sort(found.begin(), found.end());
    std::string letters;
    for (const auto& step : found) letters += step.second;
    return letters;
}

TEST(LibraryCache, AnOrdinaryPluginIsFreedAfterEachScan)
{
    EXPECT_EQ(CacheSteps(RunRequests({Request(L"ordinary_effect"), Request(L"ordinary_effect")})), "LFLF");
}

TEST(LibraryCache, AShellStaysLoadedForItsSubPlugins)
{
    DWORD exitCode = 1;
    const std::string output = RunRequests(
        {Request(L"shell_with_duplicates"), Request(L"shell_with_duplicates", ">7"), Request(L"shell_with_duplicates", ">1a2B"),
         Request(L"shell_with_duplicates")},
        {}, &exitCode);
    // Held from the first scan on; a re-used library stays whatever its scan finds; freed at shutdown.
    EXPECT_EQ(CacheSteps(output), "LKRKRKRKC");
    EXPECT_NE(output.find("info:Query host can do: 'current id 7'\n"), std::string::npos);
    EXPECT_NE(output.find(">:  \"name\":      \"Shell Sub 7\",\n"), std::string::npos);
    EXPECT_NE(output.find("info:Query host can do: 'current id 1A2B'\n"), std::string::npos);
    const std::string shutdown = "ready:\ninfo:Freeing cached library...\ninfo:Freed\n";
    EXPECT_EQ(output.substr(output.size() - shutdown.size()), shutdown);
    EXPECT_EQ(exitCode, 0u);
}

TEST(LibraryCache, ASubPluginRequestWithNothingCachedLoadsAndFrees)
{
    const std::string output = RunRequests({Request(L"shell_with_duplicates", ">5")});
    EXPECT_EQ(CacheSteps(output), "LF");
    EXPECT_NE(output.find(">:  \"id\":        \"00000005\",\n>:  \"name\":      \"Shell Sub 5\",\n"), std::string::npos);
}

TEST(LibraryCache, ShellIdsAreReadAsHexDigitsUpToTheFirstOther)
{
    const std::string output = RunRequests({Request(L"shell_with_duplicates", ">12x34"),
                                            Request(L"shell_with_duplicates", ">123456789"),
                                            Request(L"shell_with_duplicates", ">")});
    EXPECT_NE(output.find("'current id 12'"), std::string::npos);
    EXPECT_NE(output.find("'current id 23456789'"), std::string::npos);
    EXPECT_EQ(CountOf(output, "'current id"), 2);  // a bare ">" names no sub-plug-in
    EXPECT_EQ(CountOf(output, "error:Entry point returned NULL\n"), 2);
}

TEST(LibraryCache, AnotherLibraryFreesTheCachedOne)
{
    EXPECT_EQ(CacheSteps(RunRequests({Request(L"shell_with_duplicates"), Request(L"ordinary_effect")})), "LKCLF");
    EXPECT_EQ(CacheSteps(RunRequests({Request(L"shell_with_duplicates"), Request(L"empty_shell")})), "LKCLF");
    // Freed even when the next library then fails to load; nothing stays cached.
    EXPECT_EQ(CacheSteps(RunRequests({Request(L"shell_with_duplicates"), "C:\\no\\such.dll\n",
                                      Request(L"shell_with_duplicates")})),
              "LKCLELK" "C");
}

TEST(LibraryCache, PathsCompareExactlyIncludingLetterCase)
{
    std::string otherCase = Request(L"shell_with_duplicates");
    const size_t name = otherCase.rfind("shell_with_duplicates");
    otherCase.replace(name, 5, "SHELL");
    EXPECT_EQ(CacheSteps(RunRequests({Request(L"shell_with_duplicates"), otherCase})), "LKCLKC");
}

}  // namespace
