#pragma once
// The records as JUnit XML, the format CI services read: a test suite for each plug-in, a test
// case for its scan and one for each stage of its check. A failure, crash, time-out or block is
// a <failure> with the verdict and its details, a skipped stage <skipped>; warnings and what a
// stage found go to its case's output, or (with `strict`) are failures too.
#include <string>
#include <vector>

#include "scanner/Records.h"

std::string FormatJunit(const std::vector<Json>& records, bool strict);
