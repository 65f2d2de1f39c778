#pragma once
// The server thread's window messages: the splash window's, and those of the plug-ins' windows.

// Lets pending window messages through, without translation.
void DispatchPendingMessages();
// Without a request pipe the server only shows its window, until WM_QUIT.
void RunMessageLoop();
