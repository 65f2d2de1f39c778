// An effect without any C or C++ runtime: nothing of it stays behind when it is freed, so the
// server's own memory over many requests can be told apart from the plug-ins'. Small, so that
// thousands of copies make a cheap folder.
#include "probe/vst2/Vst2Abi.h"

namespace {

AEffect Effect;

void CopyText(void* to, const char* text)
{
    volatile char* out = static_cast<char*>(to);  // volatile: no call to a memcpy we do not have
    for (; *text != '\0'; ++text, ++out) *out = *text;
    *out = '\0';
}

intptr_t Dispatch(AEffect*, int32_t opcode, int32_t, intptr_t, void* pointer, float)
{
    switch (opcode) {
    case effGetEffectName: CopyText(pointer, "No Runtime Effect"); return 1;
    case effGetVendorString: CopyText(pointer, "Tessarine Bench"); return 1;
    case effGetProductString: CopyText(pointer, "No Runtime"); return 1;
    case effGetPlugCategory: return kPlugCategEffect;
    case effGetVendorVersion: return 1000;
    case effCanDo: return -1;
    default: return 0;
    }
}

}  // namespace

extern "C" __declspec(dllexport) AEffect* VSTPluginMain(AudioMasterCallback)
{
    Effect.magic = kEffectMagic;
    Effect.dispatcher = Dispatch;
    Effect.numInputs = 2;
    Effect.numOutputs = 2;
    Effect.flags = effFlagsCanReplacing;
    Effect.uniqueID = 0x5A4E5254;
    return &Effect;
}

extern "C" int __stdcall NoRuntimeDllMain(void*, unsigned long, void*) { return 1; }
