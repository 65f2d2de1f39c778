#include "probe/LibraryLoading.h"

#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "protocol/Utf8.h"

PluginModule LoadPluginLibrary(const std::u16string& path, std::u16string& error)
{
    LogInfo(u"Loading library...\n");
    PluginModule module = OpenPluginModule(path, error);
    TakeProcessBack();
    if (module == nullptr) return nullptr;
    ProbeHooks.activateHostWindow();
    ProbeHooks.dispatchPendingMessages();
    return module;
}

void FreePluginLibrary(PluginModule module)
{
    ProbeHooks.dispatchPendingMessages();
    LogInfo(u"Freeing library...\n");
    FreeLibraryAndSweep(module);
    TakeProcessBack();
    LogInfo(u"Finished\n");
}

std::u16string PluginText(const char* text, size_t size)
{
    if (text == nullptr) return u"";
    size_t length = 0;
    while (length < size && text[length] != '\0') ++length;
    return Utf8ToUtf16(std::string_view(text, length));
}

std::u16string PluginText16(const char16_t* text, size_t size)
{
    size_t length = 0;
    while (length < size && text[length] != u'\0') ++length;
    return std::u16string(text, length);
}
