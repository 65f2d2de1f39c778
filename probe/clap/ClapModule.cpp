#include "probe/clap/ClapModule.h"

#include "probe/clap/ClapHostExtensions.h"
#include "protocol/Format.h"

using namespace clap;

namespace {

void Ignore(const Host*) {}

}  // namespace

const Host ClapHost{{1, 2, 0}, nullptr, "Tessarine Plugin Scan Server", "Tessarine", "", "0.1.0",
                    ClapHostExtension, Ignore, Ignore, Ignore};

const PluginEntry* FindClapEntry(PluginModule module, std::u16string& version, std::u16string& error)
{
    SetClapMainThread();
    const auto* entry = static_cast<const PluginEntry*>(FindExport(module, "clap_entry"));
    if (entry == nullptr) {
        error = u"no clap_entry: the file is not a CLAP plug-in";
        return nullptr;
    }
    const Version given = entry->clapVersion;
    version = FormatString(u"%u.%u.%u", given.major, given.minor, given.revision);
    // Development versions are never to be loaded; a later major version is a format we
    // cannot vouch for.
    if (given.major == 0) {
        error = u"CLAP version " + version + u" is a development version, never loaded";
        return nullptr;
    }
    if (given.major > 1) {
        error = u"CLAP version " + version + u" is not supported (1.x is)";
        return nullptr;
    }
    return entry;
}
