#pragma once
// The x86 floating-point environment, read and written without the C runtime, whose view of
// it a plug-in may share and change: the x87 control word and the SSE control register. The
// server's own is kept at start-up: every exception masked, denormals as IEEE has them.

void KeepFloatEnvironment();
// Writes back the server's environment where plug-in code changed it.
void RestoreFloatEnvironment();
// Hosts run audio with denormal numbers flushed to zero (the FTZ and DAZ bits): the one change
// of the server's own, on for the blocks of a check and off after them.
void FlushDenormals(bool flush);
