#pragma once
// What one scan request found out about a plug-in. One record per request: made empty, filled
// by the driver and the probe, printed once, destroyed before the next request.
#include <cstdint>
#include <string>

#include "report/Vector.h"

// One sub-plug-in of a shell plug-in.
class CShellInfo {
public:
    int32_t id = 0;
    std::u16string name;
};

constexpr int32_t kCategoryNotScanned = -1;
constexpr int32_t kCategoryShell = 10;  // a library that holds several plug-ins

class CScanResult {
public:
    int32_t id = 0;
    std::u16string name;
    std::u16string vendor;
    std::u16string product;
    std::u16string version;
    std::u16string error;
    int32_t numInputs = 0;
    int32_t numOutputs = 0;
    bool wantsMidi = false;
    bool sendsMidi = false;
    bool audio64 = false;
    bool synthEdit = false;
    int32_t category = kCategoryNotScanned;
    CVector<CShellInfo*, SOwnedPtr, CShellInfo*> shells;
};
