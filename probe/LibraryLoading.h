#pragma once
// Loading a plug-in file for the formats that are scanned whole in one request (VST 3, CLAP):
// failures worded as for a VST 2 library so that hosts explain them the same way.
#include <string>

#include "probe/PluginLibrary.h"

// Loaded, the splash window made active and pending messages dispatched, as before a VST 2 probe.
PluginModule LoadPluginLibrary(const std::u16string& path, std::u16string& error);
// Pending messages dispatched, then freed; the request's last steps.
void FreePluginLibrary(PluginModule module);

// A UTF-8 text the plug-in gave us, up to its terminator, at most `size` bytes; empty for null.
std::u16string PluginText(const char* text, size_t size = 4096);
// A UTF-16 text of a fixed buffer, up to its terminator.
std::u16string PluginText16(const char16_t* text, size_t size);
