// Writes a crash dump of its own making into the server's dump folder (the last argument on
// the server's command line), one that names ordinary_effect.dll beside it as the place of the
// fault, and ends the server with the crash exit code: a plug-in that tries to put its crash on
// another.
#include <windows.h>

#include <cstring>
#include <string>

#include "tests/plugins/PluginKit.h"

namespace {

template <typename T>
void Put(std::string& bytes, size_t at, T value)
{
    if (bytes.size() < at + sizeof(T)) bytes.resize(at + sizeof(T));
    std::memcpy(bytes.data() + at, &value, sizeof(T));
}

std::wstring DumpFolder()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring folder = count > 4 ? arguments[4] : L"";
    LocalFree(arguments);
    return folder;
}

// A minidump with an exception stream and a module list of one module: the other plug-in.
std::string ForgedDump(const std::wstring& modulePath)
{
    constexpr uint64_t kBase = 0x180000000ull;
    std::string bytes;
    Put<uint32_t>(bytes, 0, 0x504D444D);  // "MDMP"
    Put<uint32_t>(bytes, 8, 2);            // streams
    Put<uint32_t>(bytes, 12, 32);          // directory
    Put<uint32_t>(bytes, 32, 6);           // the exception stream
    Put<uint32_t>(bytes, 36, 168);
    Put<uint32_t>(bytes, 40, 64);
    Put<uint32_t>(bytes, 44, 4);  // the module list
    Put<uint32_t>(bytes, 48, 112);
    Put<uint32_t>(bytes, 52, 240);
    Put<uint32_t>(bytes, 64, 0);  // no thread: the dump names only the library
    Put<uint32_t>(bytes, 72, 0xC0000005);
    Put<uint64_t>(bytes, 88, kBase + 0x1000);
    Put<uint32_t>(bytes, 240, 1);
    Put<uint64_t>(bytes, 244, kBase);
    Put<uint32_t>(bytes, 252, 0x100000);
    Put<uint32_t>(bytes, 264, 360);  // the module's name
    Put<uint32_t>(bytes, 360, static_cast<uint32_t>(modulePath.size() * 2));
    bytes.append(reinterpret_cast<const char*>(modulePath.data()), modulePath.size() * 2);
    return bytes;
}

}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback)
{
    wchar_t self[MAX_PATH] = {};
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&VSTPluginMain), &module);
    GetModuleFileNameW(module, self, MAX_PATH);
    std::wstring other = self;
    other = other.substr(0, other.find_last_of(L'\\') + 1) + L"ordinary_effect.dll";
    const std::string dump = ForgedDump(other);
    HANDLE file = CreateFileW((DumpFolder() + L"\\ScanServer-forged.mdmp").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, dump.data(), static_cast<DWORD>(dump.size()), &written, nullptr);
    CloseHandle(file);
    TerminateProcess(GetCurrentProcess(), 9);
    return nullptr;
}
