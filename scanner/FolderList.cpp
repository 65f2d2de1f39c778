#include "scanner/FolderList.h"

#include "host/ServerFolder.h"
#include "scanner/PathKeys.h"

void CFolderList::Add(const NativeText& folder, const std::string& source, CFormatChoice formats)
{
    formats = {formats.vst2 && chosen.vst2, formats.vst3 && chosen.vst3, formats.clap && chosen.clap};
    if (!IsAbsoluteFolder(folder) || !(formats.vst2 || formats.vst3 || formats.clap)) return;
    const NativeText path = NormalPath(folder);
    if (path.empty()) return;
    const std::string key = PathKey(ToUtf8(path));
    const auto known = index.find(key);
    if (known != index.end()) {
        CStandardFolder& same = folders[known->second];
        same.source += "; " + source;
        same.formats = {same.formats.vst2 || formats.vst2, same.formats.vst3 || formats.vst3,
                        same.formats.clap || formats.clap};
        return;
    }
    CStandardFolder entry;
    entry.path = ToUtf8(path);
    entry.source = source;
    entry.formats = formats;
    entry.exists = IsFolderPath(path);
    index[key] = folders.size();
    folders.push_back(std::move(entry));
}
