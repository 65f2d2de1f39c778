// The editor's window on Linux: an X11 window of the server's own, through libX11 loaded when an
// editor is to be opened (the server links nothing beyond the C++ runtime). Without a display, or
// without libX11, there is none, and the stage is skipped as on Windows without a display.
#include "probe/EditorWindow.h"

#include <dlfcn.h>
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "probe/EditorEvents.h"
#include "probe/clap/ClapAbi.h"
#include "probe/vst3/Vst3Abi.h"

const char* const kVst3EditorPlatform = vst3::kPlatformTypeX11EmbedWindowID;
const char* const kClapEditorApi = clap::kWindowApiX11;

namespace {

// The few calls of libX11 the window needs, by name. An XEvent is a union of 24 longs.
struct CX11 {
    void* library = nullptr;
    void* display = nullptr;
    void* (*openDisplay)(const char*) = nullptr;
    int (*closeDisplay)(void*) = nullptr;
    int (*defaultScreen)(void*) = nullptr;
    unsigned long (*rootWindow)(void*, int) = nullptr;
    unsigned long (*createSimpleWindow)(void*, unsigned long, int, int, unsigned, unsigned, unsigned, unsigned long,
                                        unsigned long) = nullptr;
    int (*mapWindow)(void*, unsigned long) = nullptr;
    int (*destroyWindow)(void*, unsigned long) = nullptr;
    int (*flush)(void*) = nullptr;
    int (*pending)(void*) = nullptr;
    int (*nextEvent)(void*, long*) = nullptr;
    int (*connectionNumber)(void*) = nullptr;
    void* (*setErrorHandler)(int (*)(void*, void*)) = nullptr;

    bool Load()
    {
        if (library) return display != nullptr;
        library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) return false;
        auto find = [&](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            return function != nullptr;
        };
        const bool all = find(openDisplay, "XOpenDisplay") && find(closeDisplay, "XCloseDisplay") &&
                         find(defaultScreen, "XDefaultScreen") && find(rootWindow, "XRootWindow") &&
                         find(createSimpleWindow, "XCreateSimpleWindow") && find(mapWindow, "XMapWindow") &&
                         find(destroyWindow, "XDestroyWindow") && find(flush, "XFlush") && find(pending, "XPending") &&
                         find(nextEvent, "XNextEvent") && find(connectionNumber, "XConnectionNumber") &&
                         find(setErrorHandler, "XSetErrorHandler");
        // Xlib's own handler ends the process on any protocol error, as an editor's request for
        // an atom a window manager would have made can give under a bare X server. Hosts keep
        // their own handler; so does the server, and a plug-in may set its own over it.
        if (all) setErrorHandler([](void*, void*) { return 0; });
        display = all ? openDisplay(nullptr) : nullptr;
        return display != nullptr;
    }
};
CX11 X11;

}  // namespace

void* CreateEditorParent()
{
    if (!X11.Load()) return nullptr;
    const int screen = X11.defaultScreen(X11.display);
    const unsigned long window =
        X11.createSimpleWindow(X11.display, X11.rootWindow(X11.display, screen), 0, 0, 800, 600, 0, 0, 0);
    if (window == 0) return nullptr;
    X11.mapWindow(X11.display, window);
    X11.flush(X11.display);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window));
}

void RunEditorFor(double seconds, const std::function<void()>& idle)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        // Our window's events are taken and dropped; the plug-in's own connection and pipes are
        // watched for it, and it gets its idle time about every 15 ms.
        std::vector<pollfd> watched{{X11.connectionNumber(X11.display), POLLIN, 0}};
        const std::vector<CEditorFd> fds = EditorFds();
        for (const CEditorFd& fd : fds) watched.push_back({fd.fd, POLLIN, 0});
        poll(watched.data(), watched.size(), 15);
        long event[24];
        while (X11.pending(X11.display) > 0) X11.nextEvent(X11.display, event);
        for (size_t i = 0; i < fds.size(); ++i)
            if (watched[i + 1].revents & (POLLIN | POLLHUP | POLLERR)) fds[i].ready();
        idle();
    }
}

void DestroyEditorParent(void* parent)
{
    X11.destroyWindow(X11.display, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent)));
    X11.flush(X11.display);
}
