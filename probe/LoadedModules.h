#pragma once
// The libraries a plug-in leaves loaded. A loaded library answers for its name: the next
// plug-in that needs a library of that name is bound to this one, whatever its own folder
// holds. What was loaded before the plug-in's library is noted; after the library is freed,
// any other library still loaded, not the system's and not the plug-in's own, it left.
#include <string>

void NoteLoadedModules(const std::u16string& pluginPath);
// "the library PATH still loaded" (the first few, then how many in all); empty for none.
std::u16string ModulesLeftLoaded();
