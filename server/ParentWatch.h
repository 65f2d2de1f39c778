#pragma once
// A server outlives no host: when the process that started it ends, it ends too, even in the
// middle of a plug-in that hangs and will never read its next request.

// Watches the parent from a thread of its own, from now on.
void WatchParent();
