#pragma once
// SHA-256 (FIPS 180-4), for the hashes a Content-Security-Policy names. Platform-free.
#include <string>

// The 32 bytes of the digest.
std::string Sha256(const std::string& bytes);
