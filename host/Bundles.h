#pragma once
// VST 3 bundles: a folder "Name.vst3" that holds a binary per machine,
// Contents\x86_64-win\Name.vst3 and Contents\x86-win\Name.vst3. Each binary is a plug-in file
// of its own, scanned by the server of its machine; the bundle names where it came from.
#include <string>
#include <vector>

// The binaries a bundle may hold, 64-bit first (UTF-8 paths).
std::vector<std::string> BundleBinaryPaths(const std::string& bundle);

// The bundle a binary lies in, or empty when it is a file of its own.
std::string BundleOfBinary(const std::string& path);

// "the bundle holds no binary for Windows (Contents\x86_64-win\Name.vst3 or ...)".
std::string NoBinaryProblem(const std::string& bundle);
