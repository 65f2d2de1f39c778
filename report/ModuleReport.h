#pragma once
// The ">" report of a VST 3 module or a CLAP file: the same line protocol as a VST 2 report,
// one line per field, with "format" first and one line per class or plug-in, each a complete
// object, so that a host reads it line by line as it reads the VST 2 report. The classes are
// written the moment each is read: when the module crashes or hangs later, the host keeps
// what was read.
#include "report/ModuleResult.h"

// Writes the head when it has not gone out yet, then the class; keeps it in `result`. A class
// whose line would take the answer past what a host reads is not written, and said so.
void ReportModuleClass(CModuleResult& result, CModuleClass entry);
// The head when no class was written, then the error, the notes and the end.
void FinishModuleReport(CModuleResult& result);
// Adds a sentence to a note, "; " between them.
void AddNote(std::u16string& note, const std::u16string& sentence);
// The whole report at once.
void WriteModuleReport(CModuleResult result);

// Bounds that keep every line and every answer within what hosts read (1 MiB a line, 16 MiB an
// answer), whatever the module's texts: each text is cut to this many units, with a note.
constexpr size_t kLongestReportText = 4096;
constexpr size_t kLargestModuleReport = 12u << 20;
