#include "scanner/Console.h"

#include <unistd.h>

// A terminal draws the progress bar; its escape sequences need nothing turned on.
bool PrepareStandardStreams() { return isatty(STDERR_FILENO) == 1; }
