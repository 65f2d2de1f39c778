#pragma once
// A plug-in's shared library as this platform loads it: a module handle on Windows, a dlopen
// handle elsewhere. Everything else of the probe sees only these.
#include <string>

using PluginModule = void*;

// Loaded for its code to run, its dependencies searched in its own folder first on Windows;
// null when the loader refused it, with `error` worded as hosts explain it.
PluginModule OpenPluginModule(const std::u16string& path, std::u16string& error);
// An exported function or record; null when there is none.
void* FindExport(PluginModule module, const char* name);
// Frees it; when that unloads it, what it left behind that would run its freed code later is
// swept away and named in a warning (the server's own windows on Windows).
void FreeLibraryAndSweep(PluginModule module);

// What the file's own resources say, where the platform has them: its version, and the mark
// of a SynthEdit plug-in. Empty and false elsewhere.
std::u16string ResourceVersionText(const std::u16string& path);
bool HasSynthEditResource(PluginModule module);

// A requested path as the system and the plug-in take it: UTF-8, with a Linux name's bytes
// that are not UTF-8 (escaped in requests) restored.
std::string SystemPath(const std::u16string& path);

bool IsFolder(const std::u16string& path);
bool PathExists(const std::u16string& path);
