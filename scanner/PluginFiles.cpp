#include "scanner/PluginFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>

#include "host/Bundles.h"
#include "scanner/PathKeys.h"

namespace {

// A file or folder as the file system knows it, whatever links lead to it.
using CFileIdentity = std::pair<uint32_t, uint64_t>;  // volume serial number, file index

struct CFound {
    bool exists = false;
    DWORD error = 0;
    BY_HANDLE_FILE_INFORMATION information{};
    CFileIdentity identity{};
};

// Opens the path itself (following links) to read what the file system says of it.
CFound Examine(const std::wstring& path)
{
    CFound found;
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        found.error = GetLastError();
        return found;
    }
    found.exists = GetFileInformationByHandle(handle, &found.information) != FALSE;
    if (!found.exists) found.error = GetLastError();
    CloseHandle(handle);
    found.identity = {found.information.dwVolumeSerialNumber,
                      static_cast<uint64_t>(found.information.nFileIndexHigh) << 32 | found.information.nFileIndexLow};
    return found;
}

// A plain file as its folder's listing describes it, on the folder's volume.
CFound FromEntry(const FILE_ID_BOTH_DIR_INFO& entry, uint32_t volume)
{
    CFound found;
    found.exists = true;
    found.information.dwFileAttributes = entry.FileAttributes;
    found.information.nFileSizeHigh = static_cast<DWORD>(entry.EndOfFile.QuadPart >> 32);
    found.information.nFileSizeLow = static_cast<DWORD>(entry.EndOfFile.QuadPart);
    found.information.ftLastWriteTime = {static_cast<DWORD>(entry.LastWriteTime.QuadPart),
                                         static_cast<DWORD>(entry.LastWriteTime.QuadPart >> 32)};
    found.identity = {volume, static_cast<uint64_t>(entry.FileId.QuadPart)};
    return found;
}

// One call lists many entries; the buffer is the walk's, on the heap.
constexpr size_t kListingBytes = 64 * 1024;

bool IsFolder(const CFound& found) { return (found.information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

std::string Iso8601(const FILETIME& time)
{
    SYSTEMTIME utc;
    FileTimeToSystemTime(&time, &utc);
    const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime) % 10000000;
    char text[40];
    snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02u.%07lluZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
             utc.wMinute, utc.wSecond, static_cast<unsigned long long>(ticks));
    return text;
}

bool EndsWith(const std::wstring& name, const wchar_t* suffix)
{
    const size_t length = wcslen(suffix);
    return name.size() > length && _wcsicmp(name.c_str() + name.size() - length, suffix) == 0;
}

class CWalk {
public:
    CWalk(std::vector<CPluginFile>& files, std::vector<CUnlistedFolder>* unlisted, CFormatChoice formats)
        : files(files), unlisted(unlisted), formats(formats)
    {
    }

    // A plain file of a format asked for; a bundle folder is no plain file.
    bool Wanted(const std::wstring& name) const
    {
        return (formats.vst2 && EndsWith(name, L".dll")) || (formats.vst3 && EndsWith(name, L".vst3")) ||
               (formats.clap && EndsWith(name, L".clap"));
    }

    bool IsBundle(const std::wstring& path) const { return EndsWith(path, L".vst3"); }

    // Each binary the bundle holds is a plug-in file; a bundle with none is one that fails.
    void AddBundle(const std::wstring& bundle, const CFound& found)
    {
        if (!formats.vst3) return;
        if (found.identity.second != 0 && !seenFolders.insert({found.identity, FormatMask()}).second) return;
        bool any = false;
        for (const std::string& binary : BundleBinaryPaths(ToUtf8(bundle))) {
            const std::wstring path = FromUtf8(binary);
            const CFound examined = Examine(path);
            if (!examined.exists || IsFolder(examined)) continue;
            AddFile(path, examined, ToUtf8(bundle));
            any = true;
        }
        if (any) return;
        CPluginFile file;
        file.path = ToUtf8(bundle);
        file.key = PathKey(file.path);
        file.bundle = file.path;
        file.problem = NoBinaryProblem(file.path);
        if (seenKeys.insert(file.key).second) files.push_back(std::move(file));
    }

    void AddFile(const std::wstring& path, const CFound& found, const std::string& bundle = "")
    {
        // A file system without file indexes gives 0: then the path key tells files apart.
        CPluginFile file;
        file.path = ToUtf8(path);
        file.bundle = bundle.empty() ? BundleOfBinary(file.path) : bundle;
        file.key = PathKey(file.path);
        if (found.exists && found.identity.second != 0 && !seenFiles.insert(found.identity).second) return;
        if (!seenKeys.insert(file.key).second) return;
        if (found.exists) {
            file.size = static_cast<uint64_t>(found.information.nFileSizeHigh) << 32 | found.information.nFileSizeLow;
            file.modified = Iso8601(found.information.ftLastWriteTime);
        } else {
            file.problem = "cannot open the file: " + SystemErrorText(found.error);
        }
        files.push_back(std::move(file));
    }

    // Links are followed; a folder reached again (a link loop, or two links to one folder)
    // is searched once. The walk keeps its own stack of folders still to search, on the heap:
    // a tree of any depth costs memory, never the thread's stack.
    void SearchFolder(const std::wstring& top, const CFound& topFound)
    {
        std::vector<std::pair<std::wstring, CFound>> pending{{top, topFound}};
        std::vector<char> listing(kListingBytes);
        while (!pending.empty()) {
            auto [folder, found] = std::move(pending.back());
            pending.pop_back();
            if (found.identity.second != 0 && !seenFolders.insert({found.identity, FormatMask()}).second) continue;
            std::vector<std::pair<std::wstring, CFound>> folders = ListFolder(folder, found, listing);
            // The first subfolder is searched next, as a recursive walk would.
            pending.insert(pending.end(), std::make_move_iterator(folders.rbegin()), std::make_move_iterator(folders.rend()));
        }
    }

    // Adds a folder's plug-in files and bundles; gives its subfolders, in order.
    std::vector<std::pair<std::wstring, CFound>> ListFolder(const std::wstring& folder, const CFound& found,
                                                            std::vector<char>& listing)
    {
        std::vector<std::pair<std::wstring, CFound>> folders, dlls, bundles;
        HANDLE directory = CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (directory == INVALID_HANDLE_VALUE) {
            Unlisted(folder, GetLastError());
            return folders;
        }
        // The listing gives each entry's file id with its size and time, many entries per call:
        // a plain file need not be opened to be told apart from a second name of the same one.
        auto kind = FileIdBothDirectoryRestartInfo;
        for (; GetFileInformationByHandleEx(directory, kind, listing.data(), static_cast<DWORD>(listing.size()));
             kind = FileIdBothDirectoryInfo) {
            for (auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(listing.data());;
                 entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<char*>(entry) + entry->NextEntryOffset)) {
                const std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
                const bool folderEntry = (entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                if (name != L"." && name != L".." && (folderEntry || Wanted(name))) {
                    const std::wstring path = folder + L"\\" + name;
                    // Folders and links are opened, to see where they lead.
                    const bool link = (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
                    CFound examined = folderEntry || link ? Examine(path) : FromEntry(*entry, found.identity.first);
                    if (examined.exists && IsFolder(examined) && IsBundle(path)) bundles.emplace_back(path, examined);
                    else if (examined.exists && IsFolder(examined)) folders.emplace_back(path, examined);
                    else if (Wanted(name)) dlls.emplace_back(path, examined);
                }
                if (entry->NextEntryOffset == 0) break;
            }
        }
        // The end of a listing is "no more files"; anything else, before the first entry, is a
        // folder that cannot be read.
        const DWORD stopped = GetLastError();
        if (kind == FileIdBothDirectoryRestartInfo && stopped != ERROR_NO_MORE_FILES) Unlisted(folder, stopped);
        CloseHandle(directory);
        auto byPath = [](const auto& a, const auto& b) { return a.first < b.first; };
        std::sort(dlls.begin(), dlls.end(), byPath);
        std::sort(folders.begin(), folders.end(), byPath);
        std::sort(bundles.begin(), bundles.end(), byPath);
        for (const auto& [path, examined] : dlls) AddFile(path, examined);
        for (const auto& [path, examined] : bundles) AddBundle(path, examined);
        return folders;
    }

    void Choose(CFormatChoice chosen) { formats = chosen; }

private:
    int FormatMask() const { return (formats.vst2 ? 1 : 0) | (formats.vst3 ? 2 : 0) | (formats.clap ? 4 : 0); }

    void Unlisted(const std::wstring& folder, DWORD error)
    {
        if (unlisted) unlisted->push_back({ToUtf8(folder), SystemErrorText(error)});
    }

    std::vector<CPluginFile>& files;
    std::vector<CUnlistedFolder>* unlisted;
    CFormatChoice formats;
    // A folder is searched once for each choice of formats: a standard folder of one format may
    // be named again for another.
    std::set<std::pair<CFileIdentity, int>> seenFolders;
    std::set<CFileIdentity> seenFiles;
    std::set<std::string> seenKeys;
};

}  // namespace

std::string NowIso8601()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Iso8601(now);
}

bool FindPluginFiles(const std::vector<std::string>& inputs, std::vector<CPluginFile>& files, std::string& problem,
                     std::vector<CUnlistedFolder>* unlisted, CFormatChoice formats)
{
    std::vector<CSearchRoot> roots;
    for (const auto& input : inputs) roots.push_back({input, formats});
    return FindPluginFiles(roots, files, problem, unlisted);
}

bool FindPluginFiles(const std::vector<CSearchRoot>& roots, std::vector<CPluginFile>& files, std::string& problem,
                     std::vector<CUnlistedFolder>* unlisted)
{
    CWalk walk(files, unlisted, {});
    for (const auto& root : roots) {
        walk.Choose(root.formats);
        const std::wstring path = NormalPath(FromUtf8(root.path));
        const CFound found = path.empty() ? CFound{} : Examine(path);
        if (!found.exists) {
            problem = root.path;
            return false;
        }
        if (IsFolder(found) && walk.IsBundle(path)) {
            walk.AddBundle(path, found);
        } else if (IsFolder(found)) {
            const size_t first = files.size();
            walk.SearchFolder(path, found);
            std::sort(files.begin() + first, files.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
        } else {
            walk.AddFile(path, found);
        }
    }
    return true;
}
