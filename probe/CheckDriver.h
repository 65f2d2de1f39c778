#pragma once
// The check's stages, the same for every format, in order: open, process, audio, parameters,
// automation, programs, state, session, buses, editor (when asked for), close. The first stage that
// fails ends the check; each says in the trace which step it is at ("Check stage: process at
// 96000 Hz, blocks of 1") before it calls the plug-in, so that a host can name the step a crash
// or a hang was in. Every process call runs on an audio thread of the check's own
// (probe/AudioThread.h), the rest on the server's main thread.
#include "probe/CheckedPlugin.h"
#include "report/CheckResult.h"

void RunCheck(CCheckedPlugin& plugin, bool withEditor, CCheckResult& result);

// The most parameters a check sets and reads back, and the most whose information it reads to
// tell the hidden ones from those a host shows.
constexpr int32_t kMostCheckedParameters = 1000;
constexpr int32_t kMostReadParameters = 65536;
