// The pipe protocol, seen from a host: real server, real pipes, exact bytes.
#include <gtest/gtest.h>

#include "tests/support/ServerHarness.h"

namespace {

const std::string kBanner = "info:Tessarine Plugin Scan Server (x64)\n";

// The "Scanning plugin" lines show exactly what each request delivered.
std::vector<std::string> ScannedPaths(const std::string& output)
{
    const std::string prefix = "info:Scanning plugin: '";
    std::vector<std::string> paths;
    for (size_t at = output.find(prefix); at != std::string::npos; at = output.find(prefix, at + 1)) {
        const size_t start = at + prefix.size();
        paths.push_back(output.substr(start, output.find("'\n", start) - start));
    }
    return paths;
}

TEST(Protocol, AnnouncesItselfAndExitsCleanlyWhenTheRequestPipeCloses)
{
    DWORD exitCode = 1;
    const std::string output = RunRequests({}, {}, &exitCode);
    EXPECT_EQ(output, kBanner + "ready:\n");
    EXPECT_EQ(exitCode, 0u);
}

TEST(Protocol, AnswersEveryRequestAndSaysReadyBeforeEachRead)
{
    DWORD exitCode = 1;
    const std::string output = RunRequests({"C:\\missing\\one.dll\n", "C:\\missing\\two.dll\n"}, {}, &exitCode);
    EXPECT_EQ(ScannedPaths(output), (std::vector<std::string>{"C:\\missing\\one.dll", "C:\\missing\\two.dll"}));
    EXPECT_EQ(output.rfind(kBanner + "ready:\ninfo:Scanning plugin: 'C:\\missing\\one.dll'\n", 0), 0u);
    EXPECT_EQ(CountOf(output, "ready:\n"), 3);
    EXPECT_EQ(CountOf(output, ">:}\n"), 2);
    EXPECT_EQ(output.substr(output.size() - 11), ">:}\nready:\n");
    EXPECT_EQ(exitCode, 0u);
}

TEST(Protocol, KeepsACarriageReturnAndServesOnlyTheFirstLineOfARead)
{
    EXPECT_EQ(ScannedPaths(RunRequests({"C:\\crlf.dll\r\n"})), std::vector<std::string>{"C:\\crlf.dll\\r"});
    const std::string twoLines = RunRequests({"C:\\first.dll\nC:\\second.dll\n"});
    EXPECT_EQ(ScannedPaths(twoLines), std::vector<std::string>{"C:\\first.dll"});
    EXPECT_EQ(CountOf(twoLines, "ready:\n"), 2);
    EXPECT_EQ(ScannedPaths(RunRequests({"\n"})), std::vector<std::string>{""});
}

TEST(Protocol, DecodesUtf8PathsIncludingCharactersOutsideTheBasicPlane)
{
    const std::string umlaut = "C:\\Pl\xC3\xBCgins\\M\xC3\xBCller.dll";
    const std::string emoji = "C:\\\xF0\x9F\x98\x80\\x.dll";
    EXPECT_EQ(ScannedPaths(RunRequests({umlaut + "\n", emoji + "\n"})), (std::vector<std::string>{umlaut, emoji}));
}

TEST(Protocol, TakesRequestsAsRawByteChunks)
{
    CServerProcess server;
    ASSERT_TRUE(server.WaitForReady(1));
    server.Send(std::string("C:\\raw\0ignored\n", 15));
    ASSERT_TRUE(server.WaitForReady(2));
    server.Send("C:\\second.dll\n");
    ASSERT_TRUE(server.WaitForReady(3));
    server.CloseRequests();
    EXPECT_EQ(server.WaitForExit(), 0u);
    EXPECT_EQ(ScannedPaths(server.Output()), (std::vector<std::string>{"C:\\raw", "C:\\second.dll"}));
}

TEST(Protocol, RefusesAnOverlongRequestWithoutLosingItsTailOrTheNextRequest)
{
    const std::string longPath = "C:\\" + std::string(3000, 'x') + ".dll\n";
    DWORD exitCode = 1;
    const std::string output = RunRequests({longPath, "C:\\after.dll\n"}, {}, &exitCode);
    EXPECT_EQ(ScannedPaths(output), std::vector<std::string>{"C:\\after.dll"});
    const std::string refusal = "ready:\nerror:Request too long\n>:{\n";
    EXPECT_NE(output.find(refusal), std::string::npos) << output;
    EXPECT_NE(output.find(">:  \"error\":     \"Request too long\",\n"), std::string::npos);
    EXPECT_EQ(CountOf(output, "ready:\n"), 3);
    EXPECT_EQ(exitCode, 0u);
}

TEST(Protocol, ALineFeedInsideAPathCannotForgeALine)
{
    // A zero byte ends the request, so the forged part has to arrive through a carriage return.
    const std::string output = RunRequests({"C:\\a\rready:\n"});
    EXPECT_EQ(ScannedPaths(output), std::vector<std::string>{"C:\\a\\rready:"});
    EXPECT_EQ(CountOf(output, "ready:\n"), 2);
}

TEST(Protocol, WritesToStandardOutputWithoutAnOutputHandle)
{
    CServerOptions options;
    options.passOutputPipe = false;
    DWORD exitCode = 1;
    EXPECT_EQ(RunRequests({}, options, &exitCode), kBanner + "ready:\n");
    EXPECT_EQ(exitCode, 0u);
}

TEST(Protocol, ServesWithoutItsWindowWhenNoDisplayIsReachable)
{
    wchar_t display[64];
    if (GetEnvironmentVariableW(L"DISPLAY", display, 64) != 0) GTEST_SKIP() << "a display is reachable";
    CServerProcess server;
    ASSERT_TRUE(server.WaitForReady(1));
    EXPECT_EQ(FindWindowW(L"TessarineScanServer", nullptr), nullptr);
    server.Send("C:\\no\\such\\plugin.dll\n");
    ASSERT_TRUE(server.WaitForReady(2));
    server.CloseRequests();
    EXPECT_EQ(server.WaitForExit(), 0u);
    EXPECT_EQ(CountOf(server.Output(), ">:}\n"), 1);
}

TEST(Protocol, APrefixedRequestHandleSelectsTheMessageLoop)
{
    CServerOptions options;
    options.requestArgument = L"0x1A4";
    CServerProcess server(options);
    ASSERT_TRUE(server.WaitForOutput(kBanner));
    server.CloseRequests();
    // It reads no requests and does not end by itself.
    Sleep(500);
    EXPECT_EQ(server.Output(), kBanner);
    server.Kill();
    EXPECT_EQ(server.WaitForExit(), 1u);
}

}  // namespace
