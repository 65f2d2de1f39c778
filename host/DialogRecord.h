#pragma once
// What a host is told of a window a plug-in opened while it was scanned, and the policies for
// such windows.
#include <cstdint>
#include <string>
#include <vector>

#include "host/NativeText.h"

enum class DialogPolicy {
    kReport,   // a dialog that stays, with the server silent, ends the scan: "blocked"
    kDismiss,  // each dialog gets Cancel (or WM_CLOSE); more than 5 make the plug-in "blocked"
    kWait,     // dialogs are recorded and the scan waits, up to its time-out
};
const char* DialogPolicyName(DialogPolicy policy);  // "report", "dismiss", "wait"

struct CDialogRecord {
    std::string title, className;  // UTF-8
    std::vector<std::string> texts;    // static texts and edit contents, in window order
    std::vector<std::string> buttons;  // button labels
    struct {
        int32_t left = 0, top = 0, right = 0, bottom = 0;
    } rect;  // on the screen
    NativeText picture;    // a PNG of it, beside the dumps; empty when none could be taken
    std::string pictureProblem;  // why there is none, when it is known
    std::string action;    // "reported", "dismissed" or "seen"
};
