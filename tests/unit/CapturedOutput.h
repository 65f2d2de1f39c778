#pragma once
// Unit tests capture what the server would write to its output pipe.
#include <string>

// Everything written since the last call.
std::string TakeCapturedOutput();
