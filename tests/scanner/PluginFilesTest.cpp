// Finding plug-in files: links followed, loops and second names of one file seen through,
// paths normal whatever their spelling.
#include <gtest/gtest.h>

#include "host/Paths.h"
#include "scanner/PathKeys.h"
#include "scanner/PluginFiles.h"

namespace {

// Built beside the tests as real links: alias -> real, real/nested/loop -> the top,
// other/a-again.dll -> real/a.dll.
const std::wstring kLinks = ProgramFolder() + L"\\link-fixture";

TEST(PluginFiles, FollowsLinksAndListsEachFileOnceThroughLoopsAndSecondNames)
{
    std::vector<CPluginFile> files;
    std::string problem;
    ASSERT_TRUE(FindPluginFiles({ToUtf8(kLinks), ToUtf8(kLinks + L"\\REAL\\A.DLL")}, files, problem)) << problem;
    std::vector<std::string> names;
    for (const auto& file : files) names.push_back(file.path.substr(ToUtf8(kLinks).size()));
    EXPECT_EQ(names, (std::vector<std::string>{"\\alias\\a.dll", "\\alias\\nested\\B.DLL"}));

    EXPECT_FALSE(FindPluginFiles({ToUtf8(kLinks + L"\\missing")}, files, problem));
    EXPECT_EQ(problem, "no such file or folder: " + ToUtf8(kLinks + L"\\missing"));
}

TEST(PluginFiles, PathsAreNormalAndTheirKeysIgnoreCase)
{
    EXPECT_EQ(PathKey("C:\\Plug-Ins\\Caf\u00e9.dll"), PathKey("c:\\PLUG-INS\\CAF\u00c9.DLL"));
    EXPECT_NE(PathKey("C:\\a.dll"), PathKey("C:\\b.dll"));
    EXPECT_EQ(NormalPath(L"C:\\x\\..\\y\\"), L"C:\\y");
    // A Linux path is the drive path Wine gives it.
    EXPECT_EQ(ToUtf8(NormalPath(L"/tmp")).substr(1), ":\\tmp");

    std::wstring deep = L"C:\\";
    for (int i = 0; i < 400; ++i) deep += L"folder\\";
    EXPECT_EQ(NormalPath(deep + L"..\\plug.dll"), deep.substr(0, deep.size() - 7) + L"plug.dll");
}

}  // namespace
