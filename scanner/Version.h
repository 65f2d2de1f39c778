#pragma once
// The scanner's version (the project's), and the version of the database format it writes and
// reads: a database of a later format is refused and left as it is.
constexpr char kScannerVersion[] = TESSARINE_VERSION;
constexpr int kDatabaseFormat = 2;
