// Shows a modal dialog of its own, built from a template in memory: a static text, an edit
// field with a text in it, and OK and Cancel.
#include <windows.h>

#include <vector>

#include "tests/plugins/PluginKit.h"

namespace {

// Appends a UTF-16 string, terminator included, to a dialog template.
void Text(std::vector<WORD>& out, const wchar_t* text)
{
    do out.push_back(static_cast<WORD>(*text));
    while (*text++);
}

void Align(std::vector<WORD>& out)
{
    if (out.size() % 2) out.push_back(0);  // items start on a DWORD boundary
}

void Item(std::vector<WORD>& out, DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* text)
{
    Align(out);
    DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
    const auto* words = reinterpret_cast<const WORD*>(&item);
    out.insert(out.end(), words, words + sizeof(item) / sizeof(WORD));
    out.push_back(0xFFFF);
    out.push_back(atom);  // 0x80 button, 0x81 edit, 0x82 static
    Text(out, text);
    out.push_back(0);  // no creation data
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    std::vector<WORD> dialog;
    DLGTEMPLATE head{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 4, 10, 10, 200, 80};
    const auto* words = reinterpret_cast<const WORD*>(&head);
    dialog.insert(dialog.end(), words, words + sizeof(head) / sizeof(WORD));
    dialog.push_back(0);  // no menu
    dialog.push_back(0);  // the dialog class
    Text(dialog, L"Register Zoo Synth");
    dialog.push_back(8);
    Text(dialog, L"MS Shell Dlg");
    Item(dialog, SS_LEFT, 10, 10, 180, 12, 100, 0x82, L"Your trial has 14 days left");
    Item(dialog, ES_LEFT | WS_BORDER, 10, 26, 180, 14, 101, 0x81, L"XXXX-XXXX");
    Item(dialog, BS_DEFPUSHBUTTON, 40, 56, 50, 14, IDOK, 0x80, L"Register");
    Item(dialog, BS_PUSHBUTTON, 110, 56, 50, 14, IDCANCEL, 0x80, L"Cancel");
    DialogBoxIndirectParamW(nullptr, reinterpret_cast<DLGTEMPLATE*>(dialog.data()), nullptr, DialogProc, 0);
    static const CPluginAnswers answers{.name = "Dialog From Template", .uniqueId = 0x5A444654};
    return CreateZooEffect(answers, host);
}
