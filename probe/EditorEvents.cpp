#include "probe/EditorEvents.h"

#include <algorithm>

namespace {

// A plug-in registers a few; a plug-in registering without end gets no more.
constexpr size_t kMostFds = 64;
std::vector<CEditorFd> Watched;

}  // namespace

void AddEditorFd(const void* owner, int fd, std::function<void()> ready)
{
    if (fd < 0 || Watched.size() >= kMostFds) return;
    Watched.push_back({owner, fd, std::move(ready)});
}

void RemoveEditorFds(const void* owner, int fd)
{
    Watched.erase(std::remove_if(Watched.begin(), Watched.end(),
                                 [&](const CEditorFd& watched) { return watched.owner == owner && (fd == -1 || watched.fd == fd); }),
                  Watched.end());
}

std::vector<CEditorFd> EditorFds() { return Watched; }
