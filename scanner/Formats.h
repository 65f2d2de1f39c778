#pragma once
// The records printed on standard output: an aligned table, strict JSON or CSV (JUnit XML has
// a file of its own, scanner/JunitReport.h).
#include <string>
#include <vector>

#include "scanner/Records.h"

enum class OutputFormat { kTable, kJson, kCsv, kJunit };

std::string FormatTable(const std::vector<Json>& records);
std::string FormatJson(const std::vector<Json>& records);
std::string FormatCsv(const std::vector<Json>& records);
