#pragma once
// The figures measured on every platform, in one shape: per request against its floor, the
// scanner against the raw server, two jobs against one, the crash path, the check against its
// floor. Each platform's benchmark adds its own.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "bench/Figures.h"
#include "host/ChildProcess.h"
#include "host/ScanOutcome.h"

// One benchmark run: its options (--quick, --only KEY) and the figures measured so far.
class CBenchRun {
public:
    CBenchRun(int argc, char** argv);
    bool quick = false;
    int rounds = 5;
    // Whether the figures of `key` are to be measured.
    bool Wanted(const char* key) const;
    // Keeps a figure measured, saying so at once.
    void Add(CFigure figure);
    std::vector<CFigure> figures;

private:
    std::string only;  // --only TEXT: just the figures whose key holds TEXT
};

double Seconds(const std::function<void()>& work);
CScanServerOptions ServerOptions();
// A path in the benchmark's folder, or next to it for "../name" (UTF-8).
std::string BenchPath(const std::string& relative);
// A folder of `count` copies of CopiedPlugin(), made once and kept in build/.
std::string CopiesFolder(size_t count);
std::vector<std::string> FilesIn(const std::string& folder, size_t count);
// A database path beside the benchmark's folder, with no database there.
std::string FreshDatabase(const char* name);

// The server driven by the bare protocol: the baseline for the host library.
class CRawServer {
public:
    CRawServer();
    ~CRawServer();
    // The lines of one answer, each with its line feed, "ready:" last.
    std::vector<std::string> Ask(const std::string& request);
    CChildProcess& Process() { return child; }

private:
    std::vector<std::string> ReadAnswer();
    CChildProcess child;
};

CFigure PerRequestAgainstFloor(int rounds, int requests, bool alternate, const std::string& copies);
CFigure ScannerAgainstRawServer(int rounds, const std::string& folder, size_t count);
CFigure JobsTwoAgainstOne(int rounds, const std::string& folder, size_t count);
CFigure CrashPath(int rounds, const std::string& folder, size_t count);
CFigure CheckAgainstFloor(int rounds, int checks);
