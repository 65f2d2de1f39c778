#pragma once
#include <windows.h>

// The read end of the request pipe; null when the server only shows its window.
extern HANDLE InputHandle;

// Serves requests from InputHandle until the host closes its end of the pipe.
void RunRequestLoop();
// Without a request pipe the server only shows its window, until WM_QUIT.
void RunMessageLoop();
// Lets pending window messages through, without translation.
void DispatchPendingMessages();
