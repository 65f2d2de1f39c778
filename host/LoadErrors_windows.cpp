#include "host/LoadErrors.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <vector>

#include "host/PeImage.h"
#include "host/WindowsText.h"

namespace {

constexpr unsigned long kBadExeFormat = ERROR_BAD_EXE_FORMAT;   // 193
constexpr unsigned long kModuleNotFound = ERROR_MOD_NOT_FOUND;  // 126
constexpr unsigned long kDllInitFailed = ERROR_DLL_INIT_FAILED;  // 1114
constexpr unsigned long kNoAccess = ERROR_NOACCESS;              // 998
constexpr unsigned long kSharingViolation = ERROR_SHARING_VIOLATION;  // 32
constexpr int kDependencyDepth = 4;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/")); }

// A file read in parts, as the PE reader asks for them: no image is read whole.
class CFileReader {
public:
    explicit CFileReader(const std::wstring& path)
        : file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~CFileReader()
    {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;
    bool Opened() const { return file != INVALID_HANDLE_VALUE; }
    CReadAt Reader() const
    {
        return [this](uint64_t offset, size_t count) {
            std::string bytes(std::min<size_t>(count, 1 << 20), '\0');
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD read = 0;
            if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, &at)) read = 0;
            bytes.resize(read);
            return bytes;
        };
    }

private:
    HANDLE file;
};

const char* Bitness(const std::string& platform) { return platform == "x86" ? "32-bit" : "64-bit"; }
uint16_t MachineOf(const std::string& platform) { return platform == "x86" ? kMachineX86 : kMachineX64; }

// Where the system looks for a plug-in's dependencies when it is loaded with its own folder
// first: that folder, the system folder of the plug-in's machine (SysWOW64 for a 32-bit one),
// the Windows folder, then PATH.
std::vector<std::wstring> SearchFolders(const std::wstring& pluginFolder, const std::string& platform)
{
    std::vector<std::wstring> folders{pluginFolder};
    wchar_t folder[MAX_PATH + 1];
    const bool wow64 = platform == "x86" && sizeof(void*) == 8;
    if (wow64 ? GetSystemWow64DirectoryW(folder, MAX_PATH + 1) : GetSystemDirectoryW(folder, MAX_PATH + 1))
        folders.push_back(folder);
    if (GetWindowsDirectoryW(folder, MAX_PATH + 1)) folders.push_back(folder);
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(size, L'\0');
    path.resize(GetEnvironmentVariableW(L"PATH", path.data(), size));
    for (size_t start = 0; start < path.size();) {
        const size_t end = std::min(path.find(L';', start), path.size());
        if (end > start) folders.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

// The first file of that name in the folders that is built for `machine`: one for another
// machine does not count, as the loader passes it by too.
std::wstring FindDll(const std::wstring& name, const std::vector<std::wstring>& folders, uint16_t machine)
{
    for (const auto& folder : folders) {
        const std::wstring candidate = folder + L"\\" + name;
        if (GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        const CFileReader file(candidate);
        if (!file.Opened()) continue;
        const auto found = PeMachine(file.Reader());
        if (!found || *found == machine) return candidate;
    }
    return L"";
}

// One spelling per file: case, trailing dots and spaces, and relative parts do not make another.
std::wstring PathIdentity(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    std::wstring key = length > 0 && length < MAX_PATH * 4 ? std::wstring(full, length) : path;
    while (!key.empty() && (key.back() == L'.' || key.back() == L' ')) key.pop_back();
    CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

// The first import, of the library or of the libraries it needs in turn, found nowhere;
// with the chain that needs it.
std::string MissingDependency(const std::wstring& path, const std::vector<std::wstring>& folders, uint16_t machine,
                              const char* bitness, std::set<std::wstring>& seen, int depth)
{
    if (depth > kDependencyDepth || !seen.insert(PathIdentity(path)).second) return "";
    const CFileReader file(path);
    if (!file.Opened()) return "";
    for (const std::string& name : ImportedDllNames(file.Reader())) {
        // API sets are resolved by the loader, not found as files.
        if (_strnicmp(name.c_str(), "api-ms-", 7) == 0 || _strnicmp(name.c_str(), "ext-ms-", 7) == 0) continue;
        const std::wstring found = FindDll(FromUtf8(name), folders, machine);
        if (found.empty()) return name + " (" + bitness + ")";
        if (FolderOf(found) != folders.front()) continue;  // the system's own DLLs are complete
        const std::string deeper = MissingDependency(found, folders, machine, bitness, seen, depth + 1);
        if (!deeper.empty()) return deeper + " (needed by " + name + ")";
    }
    return "";
}

}  // namespace

bool ReadFileBytes(const std::wstring& path, std::string& bytes, size_t limit)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) <= limit;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

bool ReadFileHead(const std::wstring& path, std::string& bytes, size_t count)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.resize(count);
    DWORD read = 0;
    const bool ok = ReadFile(file, bytes.data(), static_cast<DWORD>(count), &read, nullptr);
    bytes.resize(ok ? read : 0);
    CloseHandle(file);
    return ok;
}

std::string ExplainLoadError(unsigned long error, const std::wstring& path, const std::string& serverPlatform)
{
    switch (error) {
    case kBadExeFormat: {
        const CFileReader file(path);
        const auto machine = file.Opened() ? PeMachine(file.Reader()) : std::nullopt;
        if (!machine) return "the file is not a Windows DLL";
        if (*machine == kMachineX86 && serverPlatform == "x64") return "the file is a 32-bit DLL; the scan server is 64-bit";
        if (*machine == kMachineX64 && serverPlatform == "x86") return "the file is a 64-bit DLL; the scan server is 32-bit";
        if (*machine == MachineOf(serverPlatform))
            return "the file is a DLL for " + MachineName(*machine) + ", but damaged: the system cannot load it";
        return "the file is a DLL for " + MachineName(*machine) + ", not for this machine";
    }
    case kModuleNotFound: {
        std::set<std::wstring> seen;
        const std::string missing = MissingDependency(path, SearchFolders(FolderOf(path), serverPlatform),
                                                      MachineOf(serverPlatform), Bitness(serverPlatform), seen, 0);
        return missing.empty() ? "a DLL it needs is missing" : "it needs " + missing + ", which is not installed";
    }
    case kDllInitFailed: return "its DllMain refused to load";
    case kNoAccess: return "it crashed while loading";
    case kSharingViolation: return "another program holds the file open";
    }
    return "";
}

void ExplainLoadFailure(const std::string& library, CScanOutcome& outcome)
{
    constexpr char kLoadFailure[] = "Failed to load library, err=";
    if (outcome.error.rfind(kLoadFailure, 0) != 0) return;
    const unsigned long code = std::strtoul(outcome.error.c_str() + sizeof(kLoadFailure) - 1, nullptr, 10);
    const std::string meaning = ExplainLoadError(code, FromUtf8(library), outcome.report.platform);
    if (!meaning.empty()) outcome.error += ": " + meaning;
    // A file another program holds is no verdict on the plug-in: it is to be scanned again.
    outcome.hostFailure = code == ERROR_SHARING_VIOLATION;
}
