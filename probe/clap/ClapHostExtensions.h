#pragma once
// The host's side of the CLAP extensions plug-ins ask for (clap.log, clap.thread-check,
// clap.params, clap.state, clap.latency, clap.tail, clap.gui, clap.audio-ports,
// clap.note-ports, clap.timer-support, clap.posix-fd-support): frameworks assert on a host
// without them. One plug-in is driven at a time, so their state is the process's; the log, the
// thread check and the requests a plug-in makes may come from its audio thread too.
#include <cstdint>

#include "probe/clap/ClapAbi.h"

// What `clap_host.get_extension` answers: the extension, or nothing for an id we do not offer.
const void* ClapHostExtension(const clap::Host* host, const char* id);

// The server's main thread, for clap.thread-check; the audio thread is the check's own.
void SetClapMainThread();

// The plug-in whose editor is open, for its clap.posix-fd-support callbacks; null when none.
// Closing forgets every descriptor it registered.
void SetClapEditorPlugin(const clap::Plugin* plugin);

// Calls the plug-in's on_timer for each of its timers that is due; the editor's idle loop does.
void FireClapTimers(const clap::Plugin* plugin);
// Forgets the timers of a plug-in that is destroyed. Returns how many it had left registered.
int ForgetClapTimers();
