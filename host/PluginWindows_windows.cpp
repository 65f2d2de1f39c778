// The plug-in windows a scan opened on Windows: dialogs seen, pictured, dismissed or reported
// as they come, and windows a plug-in left open after its answer.
#include "host/ScanServer.h"

#include <windows.h>

#include <algorithm>

#include "host/DialogWatch.h"
#include "host/ServerFolder.h"
#include "host/WindowsText.h"

namespace {

constexpr size_t kMostDismissed = 5;
constexpr int kPictureAttempts = 3;
// How long a look waits for a window to paint before its picture, at most kPaintWaits times.
constexpr int kPaintWaits = 5;
constexpr DWORD kPaintWaitMs = 100;
constexpr char kBlankPicture[] = "no picture (the window showed one colour only: not painted, or covered)";
constexpr char kFailedPicture[] = "no picture (it could not be taken)";

}  // namespace

NativeText CScanServer::PictureFile(const std::string& request) const
{
    if (options.dumpFolder.empty()) return L"";
    return ClaimFileName(options.dumpFolder, FileTag(request) + L"-" + FromUtf8(options.machine) + L"-dialog", L".png");
}

void CScanServer::NoteWindowsLeftOpen(CScanOutcome& outcome)
{
    std::string left;
    windowsOpen.clear();
    for (HWND window : FindPluginWindows(server.ProcessId(), server.Job())) windowsOpen.push_back(window);
    for (void* window : windowsOpen) {
        auto among = [&](const std::vector<void*>& windows) { return std::find(windows.begin(), windows.end(), window) != windows.end(); };
        if (among(windowsBefore) || among(dismissed)) continue;
        const CDialogRecord record = DescribeWindow(static_cast<HWND>(window));
        left += (left.empty() ? "" : ", ") + std::string("a window \"") + record.title + "\" left open";
    }
    if (!left.empty()) outcome.leftBehind += (outcome.leftBehind.empty() ? "" : "; ") + left;
}

bool CScanServer::WatchDialogs(const std::string& request, SteadyTime lastLine, std::vector<CSeenWindow>& seen,
                               CScanOutcome& outcome)
{
    const SteadyTime now = std::chrono::steady_clock::now();
    const std::vector<HWND> windows = FindPluginWindows(server.ProcessId(), server.Job());
    bool overstayed = false;
    for (HWND window : windows) {
        // A window that was open before the request is an earlier plug-in's leftover, named
        // on that plug-in's record: no dialog of this one's.
        if (std::find(windowsBefore.begin(), windowsBefore.end(), window) != windowsBefore.end()) continue;
        auto known = std::find_if(seen.begin(), seen.end(), [&](const CSeenWindow& s) { return s.window == window; });
        if (known == seen.end()) {
            // Seen first now; its picture is taken on the next look, once it has painted itself.
            CDialogRecord record = DescribeWindow(window);
            record.action = "seen";
            outcome.dialogs.push_back(std::move(record));
            seen.push_back({window, now, outcome.dialogs.size() - 1, false, 0});
            continue;
        }
        CDialogRecord& record = outcome.dialogs[known->record];
        // A window that has not painted yet is taken again on the next look, within the grace.
        const bool lastChance = now - known->firstSeen >= options.dialogGrace;
        if (!known->pictured && !options.dumpFolder.empty()) {
            const NativeText picture = PictureFile(request);
            CPictureResult taken = picture.empty() ? CPictureResult::kFailed : SaveWindowPicture(window, picture);
            // A window not painted yet: its thread is waited for, a little at a time, until it
            // has gone through its messages (and its painting, which comes when they are done).
            for (int wait = 0; taken == CPictureResult::kNotYet && wait < kPaintWaits; ++wait) {
                DWORD_PTR ignored = 0;
                if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kPaintWaitMs, &ignored)) break;
                MsgWaitForMultipleObjects(0, nullptr, FALSE, kPaintWaitMs, 0);
                taken = SaveWindowPicture(window, picture);
            }
            ++known->attempts;
            if (taken == CPictureResult::kSaved) {
                record.picture = picture;
                record.pictureProblem.clear();
                known->pictured = true;
            } else {
                if (!picture.empty()) DeleteFileW(picture.c_str());
                record.pictureProblem = taken == CPictureResult::kDoesNotPaint ? kNoPaintPicture
                                        : taken == CPictureResult::kNotYet     ? kBlankPicture
                                                                               : kFailedPicture;
                // On a busy machine the looks come late: the grace alone may leave room for
                // only one, taken before the window had painted. It gets a few.
                known->pictured = (lastChance && known->attempts >= kPictureAttempts) || taken == CPictureResult::kDoesNotPaint;
            }
        }
        if ((known->pictured || options.dumpFolder.empty()) && options.dialogs == DialogPolicy::kDismiss &&
            record.action == "seen") {
            DismissWindow(window);
            dismissed.push_back(window);
            record.action = "dismissed";
        }
        overstayed |= lastChance && record.action == "seen" && (known->pictured || options.dumpFolder.empty());
    }
    auto block = [&](const std::string& why) {
        Retire();
        outcome.status = ScanStatus::kBlocked;
        outcome.error = why;
        return true;
    };
    if (options.dialogs == DialogPolicy::kDismiss && outcome.dialogs.size() > kMostDismissed)
        return block("blocked by dialogs: it opened " + std::to_string(outcome.dialogs.size()));
    if (options.dialogs != DialogPolicy::kReport || !overstayed || now - lastLine < options.dialogGrace) return false;
    std::string why = "blocked by a dialog";
    for (const CSeenWindow& window : seen) {
        CDialogRecord& record = outcome.dialogs[window.record];
        if (now - window.firstSeen < options.dialogGrace) continue;
        record.action = "reported";
        if (why.find(':') == std::string::npos) {
            why += ": \"" + record.title + "\"";
            if (!record.texts.empty()) why += " (" + record.texts.front() + ")";
            else if (!record.pictureProblem.empty()) why += " (" + record.pictureProblem + ")";
        }
    }
    return block(why);
}

