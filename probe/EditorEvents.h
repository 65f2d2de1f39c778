#pragma once
// What a plug-in's open editor asks its host to watch: file descriptors of its own (its X11
// connection, a pipe) whose readiness the editor loop hands back to it on the server's thread.
// VST 3 asks through Linux::IRunLoop, CLAP through clap.posix-fd-support. Platform-free.
#include <functional>
#include <vector>

struct CEditorFd {
    const void* owner;  // who registered it: a handler, a plug-in
    int fd;
    std::function<void()> ready;  // called when the descriptor is readable
};

void AddEditorFd(const void* owner, int fd, std::function<void()> ready);
// Those of `owner`, or only its `fd` when that is not -1.
void RemoveEditorFds(const void* owner, int fd = -1);
// A copy: a callback may add or remove descriptors while the loop walks them.
std::vector<CEditorFd> EditorFds();
