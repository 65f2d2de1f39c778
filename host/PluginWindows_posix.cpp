// Linux has no dialog watch: a plug-in's X11 windows are its own, and block nothing of the
// server's; a scan that waits on one ends by its time-out.
#include "host/ScanServer.h"

void CScanServer::NoteWindowsLeftOpen(CScanOutcome&) {}

bool CScanServer::WatchDialogs(const std::string&, SteadyTime, std::vector<CSeenWindow>&, CScanOutcome&) { return false; }
