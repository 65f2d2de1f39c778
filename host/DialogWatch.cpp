#include "host/DialogWatch.h"

#include <objidl.h>
#include <gdiplus.h>

#include <mutex>

#include "host/WindowsText.h"

namespace {

constexpr wchar_t kSplashClass[] = L"TessarineScanServer";
constexpr UINT kTextTimeoutMs = 200;
// The PNG encoder of GDI+ (image/png).
constexpr CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

struct CSearch {
    DWORD processId;
    HANDLE job;
    std::vector<HWND> found;
};

bool BelongsToScan(DWORD owner, const CSearch& search)
{
    if (owner == search.processId) return true;
    if (!search.job) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner);
    if (!process) return false;
    BOOL inJob = FALSE;
    IsProcessInJob(process, search.job, &inJob);
    CloseHandle(process);
    return inJob;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<CSearch*>(context);
    if (!IsWindowVisible(window)) return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (!BelongsToScan(owner, search)) return TRUE;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (wcscmp(className, kSplashClass) != 0) search.found.push_back(window);
    return TRUE;
}

// A window's text, asked with a time-out: the window's thread may be busy or hung.
std::string TextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &length) || length == 0)
        return "";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kTextTimeoutMs, &copied))
        return "";
    text.resize(std::min<size_t>(copied, length));
    return ToUtf8(text);
}

std::string ClassOf(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return ToUtf8(name);
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context)
{
    auto& record = *reinterpret_cast<CDialogRecord*>(context);
    if (!IsWindowVisible(child)) return TRUE;
    const std::string text = TextOf(child);
    if (text.empty()) return TRUE;
    const std::string className = ClassOf(child);
    if (_stricmp(className.c_str(), "Button") == 0) record.buttons.push_back(text);
    else record.texts.push_back(text);
    return TRUE;
}

BOOL CALLBACK FindCancel(HWND child, LPARAM found)
{
    if (GetDlgCtrlID(child) != IDCANCEL || _stricmp(ClassOf(child).c_str(), "Button") != 0) return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

// GDI+ once for the host's whole life: starting and stopping it per picture costs more.
bool StartGdiPlus()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    });
    return started;
}

}  // namespace

const char* DialogPolicyName(DialogPolicy policy)
{
    switch (policy) {
    case DialogPolicy::kReport: return "report";
    case DialogPolicy::kDismiss: return "dismiss";
    case DialogPolicy::kWait: return "wait";
    }
    return "";
}

std::vector<HWND> FindPluginWindows(DWORD processId, HANDLE job)
{
    CSearch search{processId, job, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

CDialogRecord DescribeWindow(HWND window)
{
    CDialogRecord record;
    record.title = TextOf(window);
    record.className = ClassOf(window);
    GetWindowRect(window, &record.rect);
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&record));
    return record;
}

bool SaveWindowPicture(HWND window, const std::wstring& path)
{
    RECT rect{};
    if (!GetWindowRect(window, &rect) || !StartGdiPlus()) return false;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // The screen shows it as the user sees it; a covered window draws itself instead.
    const bool onTop = GetForegroundWindow() == window || WindowFromPoint({rect.left + width / 2, rect.top + height / 2}) == window;
    const bool drawn = (onTop && BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) ||
                       PrintWindow(window, memory, 0);
    SelectObject(memory, previous);
    bool saved = false;
    if (drawn) {
        Gdiplus::GpBitmap* image = nullptr;
        if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
            saved = Gdiplus::DllExports::GdipSaveImageToFile(image, path.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok;
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

void DismissWindow(HWND window)
{
    bool hasCancel = false;
    EnumChildWindows(window, FindCancel, reinterpret_cast<LPARAM>(&hasCancel));
    if (hasCancel) PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else PostMessageW(window, WM_CLOSE, 0, 0);
}
