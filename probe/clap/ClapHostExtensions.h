#pragma once
// The host's side of the CLAP extensions plug-ins ask for (clap.log, clap.thread-check,
// clap.params, clap.state, clap.latency, clap.tail, clap.gui, clap.audio-ports,
// clap.note-ports, clap.timer-support, clap.posix-fd-support): frameworks assert on a host
// without them. One plug-in
// is driven at a time, on one thread, so their state is the process's.
#include <cstdint>

#include "probe/clap/ClapAbi.h"

// What `clap_host.get_extension` answers: the extension, or nothing for an id we do not offer.
const void* ClapHostExtension(const clap::Host* host, const char* id);

// The thread that drives plug-ins: the main thread, and the audio thread while a call of
// the audio thread's (start_processing, process, stop_processing) is under way.
void SetClapMainThread();
class CClapAudioCall {
public:
    CClapAudioCall();
    ~CClapAudioCall();
    CClapAudioCall(const CClapAudioCall&) = delete;
    CClapAudioCall& operator=(const CClapAudioCall&) = delete;
};

// The plug-in whose editor is open, for its clap.posix-fd-support callbacks; null when none.
// Closing forgets every descriptor it registered.
void SetClapEditorPlugin(const clap::Plugin* plugin);

// Calls the plug-in's on_timer for each of its timers that is due; the editor's idle loop does.
void FireClapTimers(const clap::Plugin* plugin);
// Forgets the timers of a plug-in that is destroyed. Returns how many it had left registered.
int ForgetClapTimers();
