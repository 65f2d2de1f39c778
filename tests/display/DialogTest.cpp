// Windows that plug-ins open while they are scanned, on a real X server (the script around
// this program starts one): each policy through tessarine-scan, with what the dialogs said and
// a picture of each.
#include <gtest/gtest.h>

#include <objidl.h>
#include <gdiplus.h>

#include <nlohmann/json.hpp>

#include "host/Paths.h"
#include "host/WindowsText.h"
#include "tests/support/CheckZooVerdicts.h"
#include "tests/support/ProgramRunner.h"

namespace {

using Json = nlohmann::json;

constexpr DWORD kRunLimitMs = 120000;

std::string Dialogs(const wchar_t* name) { return ToUtf8(ProgramFolder() + L"\\plugins-dialogs\\" + name + L".dll"); }

// Scans the plug-ins on one job with the policy; the records by file name.
std::map<std::string, Json> Scan(const std::wstring& options, const std::vector<std::string>& plugins, std::string* err = nullptr)
{
    std::wstring command = QuoteArgument(ProgramFolder() + L"\\tessarine-scan.exe") + L" --jobs 1 --format json " + options;
    for (const auto& plugin : plugins) command += L" " + QuoteArgument(FromUtf8(plugin));
    CProgram scan(command);
    scan.Wait(kRunLimitMs);
    if (err) *err = scan.Err();
    std::map<std::string, Json> records;
    const Json output = Json::parse(scan.Out(), nullptr, false);
    EXPECT_FALSE(output.is_discarded()) << scan.Out() << scan.Err();
    if (output.is_discarded()) return records;
    for (const auto& record : output["plugins"]) records[FileNameOf(record["path"].get<std::string>())] = record;
    return records;
}

// The picture decodes, has the window's size and shows more than one colour.
void ExpectPictureOf(const Json& dialog)
{
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    {
        Gdiplus::Bitmap picture(FromUtf8(dialog["picture"].get<std::string>()).c_str());
        ASSERT_EQ(picture.GetLastStatus(), Gdiplus::Ok) << dialog.dump();
        const auto& rect = dialog["rect"];
        EXPECT_EQ(static_cast<int>(picture.GetWidth()), rect[2].get<int>() - rect[0].get<int>());
        EXPECT_EQ(static_cast<int>(picture.GetHeight()), rect[3].get<int>() - rect[1].get<int>());
        Gdiplus::Color first, other;
        picture.GetPixel(0, 0, &first);
        bool varied = false;
        for (UINT y = 0; y < picture.GetHeight() && !varied; y += 3)
            for (UINT x = 0; x < picture.GetWidth() && !varied; x += 3)
                varied = picture.GetPixel(x, y, &other) == Gdiplus::Ok && other.GetValue() != first.GetValue();
        EXPECT_TRUE(varied) << "one colour: " << dialog["picture"];
    }
    Gdiplus::GdiplusShutdown(token);
}

const std::vector<std::string> kAll = {Dialogs(L"dialog_message_box"), Dialogs(L"dialog_from_template"),
                                       Dialogs(L"window_waits_for_click"), Dialogs(L"hidden_window"),
                                       ToUtf8(ProgramFolder() + L"\\plugins\\ordinary_effect.dll")};

TEST(Dialogs, AReportedDialogEndsTheScanAfterItsGraceAndSaysWhatItSaid)
{
    std::string err;
    auto records = Scan(L"--timeout 30 --dialog-grace 2", kAll, &err);
    ASSERT_EQ(records.size(), 5u);
    for (const char* name : {"dialog_message_box.dll", "dialog_from_template.dll", "window_waits_for_click.dll"}) {
        const Json& record = records[name];
        EXPECT_EQ(record["status"], "blocked") << record.dump();
        EXPECT_LT(record["scanSeconds"].get<double>(), 10.0);  // the grace, not the 30 s time-out
        ASSERT_EQ(record["dialogs"].size(), 1u);
        EXPECT_EQ(record["dialogs"][0]["action"], "reported");
        ExpectPictureOf(record["dialogs"][0]);
    }
    const Json& box = records["dialog_message_box.dll"];
    EXPECT_EQ(box["error"], "blocked by a dialog: \"Licence\" (Please enter your serial number)");
    EXPECT_EQ(box["dialogs"][0]["title"], "Licence");
    EXPECT_EQ(box["dialogs"][0]["texts"], Json({"Please enter your serial number"}));
    EXPECT_EQ(box["dialogs"][0]["buttons"], Json({"OK", "Cancel"}));
    const Json& form = records["dialog_from_template.dll"]["dialogs"][0];
    EXPECT_EQ(form["texts"], Json({"Your trial has 14 days left", "XXXX-XXXX"}));
    EXPECT_EQ(form["buttons"], Json({"Register", "Cancel"}));
    EXPECT_EQ(records["window_waits_for_click.dll"]["dialogs"][0]["class"], "ZooClickMe");
    EXPECT_EQ(records["hidden_window.dll"]["status"], "ok");
    EXPECT_TRUE(records["hidden_window.dll"]["dialogs"].empty());
    EXPECT_EQ(records["ordinary_effect.dll"]["status"], "ok");
    EXPECT_NE(err.find("3 blocked"), std::string::npos) << err;
}

TEST(Dialogs, DismissedDialogsLetTheScanFinish)
{
    auto records = Scan(L"--timeout 30 --dialogs dismiss", kAll);
    ASSERT_EQ(records.size(), 5u);
    for (const char* name : {"dialog_message_box.dll", "dialog_from_template.dll", "window_waits_for_click.dll"}) {
        EXPECT_EQ(records[name]["status"], "ok") << records[name].dump();
        ASSERT_EQ(records[name]["dialogs"].size(), 1u);
        EXPECT_EQ(records[name]["dialogs"][0]["action"], "dismissed");
    }
    EXPECT_EQ(records["dialog_message_box.dll"]["report"]["name"], "Dialog Message Box");
    EXPECT_EQ(records["ordinary_effect.dll"]["status"], "ok");

    // One that asks again and again is blocked after the fifth.
    auto nagging = Scan(L"--timeout 30 --dialogs dismiss", {Dialogs(L"dialogs_again_and_again")});
    EXPECT_EQ(nagging["dialogs_again_and_again.dll"]["status"], "blocked");
    EXPECT_EQ(nagging["dialogs_again_and_again.dll"]["error"], "blocked by dialogs: it opened 6");
}

TEST(Dialogs, WaitingRecordsTheDialogAndWaitsForTheTimeOut)
{
    auto records = Scan(L"--timeout 4 --dialogs wait", {kAll[0], kAll[4]});
    EXPECT_EQ(records["dialog_message_box.dll"]["status"], "timed out");
    ASSERT_EQ(records["dialog_message_box.dll"]["dialogs"].size(), 1u);
    EXPECT_EQ(records["dialog_message_box.dll"]["dialogs"][0]["action"], "seen");
    EXPECT_EQ(records["ordinary_effect.dll"]["status"], "ok");
}

// A window a plug-in leaves on the server's thread, with a timer, is swept when its library is
// freed: that plug-in is told of it, and the next one scans on a fresh server, unharmed.
TEST(Dialogs, AWindowLeftBehindIsSweptAndBlamedOnThePluginThatLeftIt)
{
    const std::string plugins = ToUtf8(ProgramFolder() + L"\\plugins\\");
    const auto records = Scan(L"", {plugins + "window_timer_after_unload.dll", plugins + "ordinary_effect.dll"});
    const Json& left = records.at("window_timer_after_unload.dll");
    EXPECT_EQ(left["status"], "ok") << left.dump();
    EXPECT_NE(left.value("leftBehind", "").find("a window of class \"ZooLeftTimerWindow\""), std::string::npos) << left.dump();
    const Json& next = records.at("ordinary_effect.dll");
    EXPECT_EQ(next["status"], "ok") << next.dump();
    EXPECT_FALSE(next.contains("leftBehind")) << next.dump();
}

// A window a plug-in leaves open is its own: the next plug-in, silent for a while in its
// entry, is not blocked by it, nor given it as a dialog.
TEST(Dialogs, AWindowLeftOpenIsThePluginsThatLeftItNotTheNextOnes)
{
    const std::string plugins = ToUtf8(ProgramFolder() + L"\\plugins\\");
    const auto records = Scan(L"--timeout 30", {plugins + "leaves_popup_open.dll", plugins + "slow_entry.dll"});
    const Json& left = records.at("leaves_popup_open.dll");
    EXPECT_NE(left.value("leftBehind", "").find("a window \"Leftover popup\" left open"), std::string::npos) << left.dump();
    const Json& next = records.at("slow_entry.dll");
    EXPECT_EQ(next["status"], "ok") << next.dump();
    EXPECT_TRUE(next["dialogs"].empty()) << next.dump();
}

// The whole check zoo of both machines in one run with two jobs, editors opened: each plug-in
// gets exactly its verdict in its stage; every editor that opens runs for half a second while
// the audio thread processes, and closes; the one that crashes as it opens is blamed for it, and
// the one that crashes when audio runs meanwhile is blamed on the audio thread.
TEST(Dialogs, TheCheckZooGetsItsVerdictsWithEditorsOpened)
{
    const auto expected = CheckZooVerdicts(true);
    std::wstring command = QuoteArgument(ProgramFolder() + L"\\tessarine-scan.exe") +
                           L" --jobs 2 --format json --timeout 5 --check-editor " +
                           QuoteArgument(ProgramFolder() + L"\\plugins-check") + L" " +
                           QuoteArgument(ProgramFolder() + L"\\plugins-x86-check");
    CProgram scan(command);
    EXPECT_EQ(scan.Wait(2 * kRunLimitMs), 1u) << scan.Err();
    const Json output = Json::parse(scan.Out(), nullptr, false);
    ASSERT_FALSE(output.is_discarded()) << scan.Out() << scan.Err();
    ASSERT_EQ(output["plugins"].size(), 2 * CheckZooFileCount());
    for (const Json& record : output["plugins"]) {
        std::string name = FileNameOf(record["path"].get<std::string>());
        name.erase(name.find('.'));
        const Json& check = (record.contains("subPlugins") ? record["subPlugins"][0] : record)["check"];
        EXPECT_EQ(check["status"], expected.at(name).first) << record["path"] << check.dump();
        EXPECT_EQ(check["stage"], expected.at(name).second) << record["path"] << check.dump();
        if (check["status"] == "passed") {
            EXPECT_TRUE(check["editor"]) << record["path"];
            // The editor is the last stage before close, opened while the audio ran.
            const Json& stages = check["stages"];
            ASSERT_GE(stages.size(), 3u) << check.dump();
            const Json& editor = stages[stages.size() - 2];
            EXPECT_EQ(editor["stage"], "editor") << check.dump();
            EXPECT_EQ(editor["result"], "passed") << check.dump();
            EXPECT_NE(editor["details"].get<std::string>().find("while audio was processed"), std::string::npos) << check.dump();
        }
    }
}

}  // namespace
