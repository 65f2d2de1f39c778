// Asks its host every opcode from -1 to 50 and a list of capabilities while it is created, and
// reports the answers it got as its name: "opcode=answer" for every answer but 0, strings after
// a colon, then the capability answers in order.
#include <cstdio>
#include <string>

#include "tests/plugins/PluginKit.h"

namespace {

constexpr const char* kCapabilities[] = {
    "sizeWindow", "sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "supplyIdle", "receiveVstEvents",
    "receiveVstMidiEvent", "startStopProcess", "sendVstMidiEventFlagIsRealtime", "shellCategory",
    "SHELLCATEGORY", "ShellCategory", "shellCategory ", "", "offline",
};

std::string Answers;
CPluginAnswers Reported{.vendor = "Asks Every Opcode", .uniqueId = 0x5A414F50};

}  // namespace

ZOO_EXPORT AEffect* VSTPluginMain(AudioMasterCallback host)
{
    Answers.clear();
    for (int32_t opcode = -1; opcode <= 50; ++opcode) {
        if (opcode == audioMasterCanDo) continue;
        char text[64] = "untouched";
        const intptr_t answer = host(nullptr, opcode, 0, 0, text, 0.0f);
        if (answer == 0) continue;
        char item[96];
        std::snprintf(item, sizeof(item), "%d=%lld", static_cast<int>(opcode), static_cast<long long>(answer));
        Answers += item;
        if (opcode == audioMasterGetVendorString || opcode == audioMasterGetProductString) Answers += std::string(":") + text;
        Answers += " ";
    }
    // A null string is not a question the host can answer; the host must not read it.
    Answers += "null:";
    Answers += std::to_string(host(nullptr, audioMasterCanDo, 0, 0, nullptr, 0.0f));
    Answers += std::to_string(host(nullptr, audioMasterGetVendorString, 0, 0, nullptr, 0.0f));
    Answers += " can:";
    for (const char* capability : kCapabilities)
        Answers += std::to_string(host(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>(capability), 0.0f));
    Reported.name = Answers.c_str();
    return CreateZooEffect(Reported, host);
}
