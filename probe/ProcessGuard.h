#pragma once
// A plug-in shares the server's process and may change anything process-wide: the crash
// handlers, the signal mask, the floating-point environment, the numeric locale, the umask,
// the working folder. The next plug-in, and the server's own code, must not pay for it, so
// every stretch of plug-in code ends here. Each platform reads what may have changed and
// writes back only what did.

// Notes the server's own state; once at start-up, after the crash handling is armed.
void KeepProcessState();
// Makes the process the server's again. After a stretch, what a plug-in may have changed only
// through a system call of its own is read back once a request (`everything`).
void TakeProcessBack(bool everything = false);

// A thread of the server's own that runs plug-in code (a check's audio thread): it gets what
// the main thread had at start-up of what is each thread's own (an alternate stack for the
// crash handler, the floating-point environment), and gets it back after each stretch.
void KeepThreadState();
void TakeThreadBack();
