#pragma once
// A check's verdict, read from the outcome of its request: how the server ended, or else the
// stages it reported. Part of the host library's public headers.
#include <string>

#include "host/ScanOutcome.h"

enum class CheckStatus { kPassed, kWarnings, kFailed, kCrashed, kTimedOut, kBlocked };
// "passed", "warnings", "failed", "crashed", "timed out", "blocked"
const char* CheckStatusName(CheckStatus status);
// The status of a name as CheckStatusName gives it; false for any other text.
bool CheckStatusFromName(const std::string& name, CheckStatus& status);

CheckStatus CheckStatusOf(const CScanOutcome& check);
// Bad enough to be checked again with --retry-failed, and to fail the run.
bool IsBadCheck(CheckStatus status);
// One line for people: "passed", "warnings in parameters: ...", "crashed in process at 96000 Hz,
// blocks of 1: exception 0xC0000005 in foo.dll".
std::string CheckVerdictText(const CScanOutcome& check);
// The stage the verdict is about: the first that failed or warned, the one under way at a bad
// end; empty for a check that passed.
std::string CheckVerdictStage(const CScanOutcome& check);
