#pragma once
// The windows a plug-in opens while it is scanned: licence, registration and "demo" dialogs
// that would stall a scan until its time-out. While a request is outstanding the host watches
// the visible top-level windows of the server and of the processes in its job, records what
// each says, takes a picture of it, and, by the policy chosen, ends the scan, dismisses the
// window, or only records it.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "host/DialogRecord.h"

// The visible top-level windows that belong to the process or to a process in `job`; the
// server's own splash window, class "TessarineScanServer", does not count.
std::vector<HWND> FindPluginWindows(DWORD processId, HANDLE job);

// Title, class, the texts of its child controls (read with a time-out, so that a hung window
// never blocks us) and its rectangle.
CDialogRecord DescribeWindow(HWND window);

constexpr char kNoPaintPicture[] = "no picture (the window does not paint)";

enum class CPictureResult {
    kSaved,
    kNotYet,        // nothing but one colour: it has not painted itself yet, or is covered
    kDoesNotPaint,  // its thread does not answer: it never will
    kFailed,
};
// A PNG of the window as the screen shows it. A covered window is asked to draw itself, except
// under Wine, which draws nothing across processes.
CPictureResult SaveWindowPicture(HWND window, const std::wstring& path);

// Posts the dialog's Cancel command, or WM_CLOSE when it has no Cancel button; never waits.
void DismissWindow(HWND window);
