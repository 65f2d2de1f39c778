#pragma once
// What one scan request found out about a file that holds plug-ins of a newer format: the
// classes of a VST 3 module, or the plug-ins of a CLAP file. Made empty, filled by the format's
// probe, printed once.
#include <cstdint>
#include <string>
#include <vector>

// One audio bus of a VST 3 class, or one audio port of a CLAP plug-in.
struct CModuleBus {
    std::u16string name;
    bool input = false;
    bool main = false;            // the main bus of its direction, not an aux (sidechain) one
    int32_t channels = 0;         // kUnknownCount when the plug-in gave a number no bus can have
    bool controlVoltage = false;  // VST 3: control voltage, no audio
};

// One class of a VST 3 module (a plug-in or not), or one plug-in of a CLAP file.
struct CModuleClass {
    std::u16string id;            // VST 3: 32 hex digits in GUID text order; CLAP: the descriptor's id
    std::u16string name, vendor, version;
    std::u16string category;      // VST 3: the class category; CLAP: the features joined with "|"
    std::u16string subCategories;  // VST 3: "Fx|Delay"
    std::u16string sdkVersion;    // VST 3
    std::u16string description, url;  // CLAP
    int32_t cardinality = 0;      // VST 3
    bool plugin = false;          // a class the host can instantiate as a plug-in
    // Channels of the main audio buses or ports; kUnknownCount when the plug-in gave a number
    // no bus can have.
    int32_t numInputs = 0, numOutputs = 0;
    bool wantsMidi = false, sendsMidi = false;  // event buses, or note ports
    std::u16string error;         // why this plug-in could not be read
    std::u16string note;          // what the scan cut or doubted in what the plug-in gave
    std::vector<CModuleBus> buses;  // every audio bus or port, inputs first
};

// A count written as null: the plug-in's own answer was out of any sensible range.
constexpr int32_t kUnknownCount = -1;

struct CModuleResult {
    const char16_t* format = u"";  // "vst3" or "clap"
    std::u16string vendor, url, email;  // VST 3: the factory's
    std::u16string version;        // CLAP: the entry's clap_version, "1.2.0"
    std::u16string error;          // why the file could not be scanned
    std::u16string notes;          // what the scan cut: classes beyond the bound, duplicates
    std::vector<CModuleClass> classes;
    // Written as they are read (see ReportModuleClass); the head goes out before the first.
    bool headWritten = false;
    size_t reportBytes = 0;
    size_t unwritten = 0;  // classes left out: the answer would have been too large
    size_t headNotes = 0;  // the length of the notes the head held
};
