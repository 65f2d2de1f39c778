#pragma once
// The scanner's standard streams: on Windows output in binary, so that CSV keeps exactly one
// CRLF per record, and UTF-8 on a console.

// Returns whether standard error is a console that draws the progress bar: one where
// virtual-terminal processing could be turned on. Elsewhere the progress is a line per plug-in.
bool PrepareStandardStreams();
