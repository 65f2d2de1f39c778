#include "scanner/PluginFiles.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>

#include "host/Bundles.h"
#include "host/ServerFolder.h"
#include "scanner/FileSystem.h"
#include "scanner/PathKeys.h"

namespace {

class CWalk {
public:
    CWalk(std::vector<CPluginFile>& files, std::vector<CUnlistedFolder>* unlisted, CFormatChoice formats)
        : files(files), unlisted(unlisted), formats(formats)
    {
    }

    // A plain file of a format asked for; a bundle folder is no plain file.
    bool Wanted(const NativeText& name) const
    {
        return (formats.vst2 && NameEndsWith(name, kVst2Suffix)) || (formats.vst3 && NameEndsWith(name, ".vst3")) ||
               (formats.clap && NameEndsWith(name, ".clap"));
    }

    bool IsBundle(const NativeText& path) const { return NameEndsWith(path, ".vst3"); }

    // Each binary the bundle holds is a plug-in file; a bundle with none is one that fails.
    void AddBundle(const NativeText& bundle, const CFileFacts& found)
    {
        if (!formats.vst3) return;
        if (found.identity.second != 0 && !seenFolders.insert({found.identity, FormatMask()}).second) return;
        bool any = false;
        for (const std::string& binary : BundleBinaryPaths(ToUtf8(bundle))) {
            const NativeText path = FromUtf8(binary);
            const CFileFacts examined = Examine(path);
            if (!examined.exists || examined.folder) continue;
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

    void AddFile(const NativeText& path, const CFileFacts& found, const std::string& bundle = "")
    {
        // A file system without file indexes gives 0: then the path key tells files apart.
        CPluginFile file;
        file.path = ToUtf8(path);
        file.bundle = bundle.empty() ? BundleOfBinary(file.path) : bundle;
        file.key = PathKey(file.path);
        if (found.exists && found.identity.second != 0 && !seenFiles.insert(found.identity).second) return;
        if (!seenKeys.insert(file.key).second) return;
        if (found.exists) {
            file.size = found.size;
            file.modified = found.modified;
        } else {
            file.problem = "cannot open the file: " + SystemErrorText(found.error);
        }
        files.push_back(std::move(file));
    }

    // Links are followed; a folder reached again (a link loop, or two links to one folder)
    // is searched once. The walk keeps its own stack of folders still to search, on the heap:
    // a tree of any depth costs memory, never the thread's stack.
    void SearchFolder(const NativeText& top, const CFileFacts& topFound)
    {
        std::vector<std::pair<NativeText, CFileFacts>> pending{{top, topFound}};
        while (!pending.empty()) {
            auto [folder, found] = std::move(pending.back());
            pending.pop_back();
            if (found.identity.second != 0 && !seenFolders.insert({found.identity, FormatMask()}).second) continue;
            std::vector<std::pair<NativeText, CFileFacts>> folders = SearchOne(folder, found);
            // The first subfolder is searched next, as a recursive walk would.
            pending.insert(pending.end(), std::make_move_iterator(folders.rbegin()), std::make_move_iterator(folders.rend()));
        }
    }

    // Adds a folder's plug-in files and bundles; gives its subfolders, in order.
    std::vector<std::pair<NativeText, CFileFacts>> SearchOne(const NativeText& folder, const CFileFacts& found)
    {
        std::vector<std::pair<NativeText, CFileFacts>> folders, dlls, bundles;
        std::vector<CFolderEntry> entries;
        unsigned long error = 0;
        if (!ListFolder(folder, found, entries, error)) Unlisted(folder, error);
        for (const CFolderEntry& entry : entries) {
            if (!entry.folder && !entry.link && !Wanted(entry.name)) continue;
            const NativeText path = JoinPath(folder, entry.name);
            // Folders and links are opened, to see where they lead; a plain file's listing says enough.
            const CFileFacts examined = entry.folder || entry.link ? Examine(path) : entry.facts;
            if (examined.exists && examined.folder && IsBundle(path)) bundles.emplace_back(path, examined);
            else if (examined.exists && examined.folder) folders.emplace_back(path, examined);
            else if (Wanted(entry.name)) dlls.emplace_back(path, examined);
            // A folder the listing shows but the system cannot reach (its path too long).
            else if (entry.folder && !examined.exists) Unlisted(path, examined.error);
        }
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

    void Unlisted(const NativeText& folder, unsigned long error)
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
        const NativeText path = NormalPath(FromUtf8(root.path));
        const CFileFacts found = path.empty() ? CFileFacts{} : Examine(path);
        if (!found.exists) {
            problem = path.empty() || IsMissingError(found.error) ? "no such file or folder: " + root.path
                                                                   : "cannot open " + root.path + ": " + SystemErrorText(found.error);
            return false;
        }
        if (found.folder && walk.IsBundle(path)) {
            walk.AddBundle(path, found);
        } else if (found.folder) {
            const size_t first = files.size();
            walk.SearchFolder(path, found);
            std::sort(files.begin() + first, files.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
        } else {
            walk.AddFile(path, found);
        }
    }
    return true;
}
