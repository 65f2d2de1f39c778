#pragma once
// What the scan and the check of a CLAP file share: our host record and the checked way to
// the file's entry.
#include <string>

#include "probe/PluginLibrary.h"
#include "probe/clap/ClapAbi.h"

// Plug-ins refuse init for a host of another major version: ours is 1.x.
extern const clap::Host ClapHost;

// The file's entry when its CLAP version is one we load, with the version as text; else
// nothing, with `error` set. Nothing of the file is called.
const clap::PluginEntry* FindClapEntry(PluginModule module, std::u16string& version, std::u16string& error);
