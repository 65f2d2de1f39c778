#include "host/DialogWatch.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <mutex>
#include <vector>

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

bool RunningUnderWine()
{
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// A picture of one colour only shows nothing: a window not painted yet, or drawn as black.
bool OneColour(HDC memory, HBITMAP bitmap, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    if (!GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS)) return true;
    const uint32_t first = pixels.front() & 0xFFFFFF;
    return std::all_of(pixels.begin(), pixels.end(), [&](uint32_t pixel) { return (pixel & 0xFFFFFF) == first; });
}

}  // namespace

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
    // A hung window does not answer; the title the system keeps for it still says what it is.
    if (record.title.empty()) {
        wchar_t cached[256] = {};
        if (GetWindowTextW(window, cached, 256) > 0) record.title = ToUtf8(cached);
    }
    record.className = ClassOf(window);
    RECT rect{};
    GetWindowRect(window, &rect);
    record.rect = {rect.left, rect.top, rect.right, rect.bottom};
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&record));
    return record;
}

CPictureResult SaveWindowPicture(HWND window, const std::wstring& path)
{
    RECT rect{};
    if (!GetWindowRect(window, &rect) || !StartGdiPlus()) return CPictureResult::kFailed;
    if (IsHungAppWindow(window)) return CPictureResult::kDoesNotPaint;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return CPictureResult::kFailed;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // The screen shows it as the user sees it. A dialog's centre is usually one of its controls,
    // so the window there counts by the top-level window it belongs to.
    const HWND atCentre = WindowFromPoint({rect.left + width / 2, rect.top + height / 2});
    const bool onTop = GetForegroundWindow() == window || (atCentre && GetAncestor(atCentre, GA_ROOT) == window);
    bool drawn = false;
    if (onTop) drawn = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    else if (!RunningUnderWine()) drawn = PrintWindow(window, memory, 0);
    SelectObject(memory, previous);
    CPictureResult result = CPictureResult::kNotYet;
    if (drawn && !OneColour(memory, bitmap, width, height)) {
        result = CPictureResult::kFailed;
        Gdiplus::GpBitmap* image = nullptr;
        if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
            if (Gdiplus::DllExports::GdipSaveImageToFile(image, path.c_str(), &kPngEncoder, nullptr) == Gdiplus::Ok)
                result = CPictureResult::kSaved;
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
    }
    // Not painted yet: asked to paint now, for the next look.
    if (result == CPictureResult::kNotYet) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return result;
}

void DismissWindow(HWND window)
{
    bool hasCancel = false;
    EnumChildWindows(window, FindCancel, reinterpret_cast<LPARAM>(&hasCancel));
    if (hasCancel) PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else PostMessageW(window, WM_CLOSE, 0, 0);
}
