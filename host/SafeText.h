#pragma once
// Plug-ins name themselves, and a name can hold anything: escape sequences that drive a
// terminal, characters that turn text around, a formula a spreadsheet would run. These make
// such texts safe for each place they are shown. Platform-free; texts are UTF-8.
#include <string>
#include <string_view>

// For a terminal: every C0 and C1 control, DEL and the bidirectional overrides and isolates
// become a visible substitute (the control pictures, or U+FFFD); bytes that are not UTF-8
// become U+FFFD. Every other character is kept.
std::string TerminalSafe(std::string_view text);

// For JSON already written: DEL, the C1 controls and the bidirectional characters above are
// written as \uXXXX too (the writer escapes only C0). Everything else stays as it is.
std::string EscapeInvisibleInJson(std::string_view json);

// For a CSV cell: a cell that starts with = + - @, a tab or a carriage return gets a leading
// apostrophe, so that a spreadsheet shows it instead of running it.
std::string FormulaSafe(std::string text);

// What a plug-in printed, kept with its outcome: TerminalSafe line by line, the line feeds kept.
std::string ConsoleSafe(std::string_view text);

// The cells a text takes on a terminal: wide (East Asian) characters two, combining marks and
// zero-width characters none, every other one.
size_t TerminalWidth(std::string_view text);
// The text cut to at most `width` cells, "..." at the end when cut, never inside a character.
std::string ClipToWidth(std::string_view text, size_t width);
