#pragma once
// The objects a VST 3 host hands a plug-in while it runs: a memory stream for states, the
// event lists and parameter changes of a block, and the component handler and view frame,
// which accept whatever the plug-in asks. Each lives on the check's stack: no counting.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <vector>

#include "probe/AudioThread.h"
#include "probe/EditorEvents.h"
#include "probe/vst3/Vst3Abi.h"

namespace vst3 {

template <typename Interface>
class CHostObject : public Interface {
public:
    explicit CHostObject(const CTuid& id) : id(id) {}
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, id.data());
        *object = known ? this : nullptr;
        return known ? kResultOk : kNoInterface;
    }
    uint32_t VST3_METHOD addRef() override { return 1; }
    uint32_t VST3_METHOD release() override { return 1; }

private:
    CTuid id;
};

class CMemoryStream : public CHostObject<IBStream> {
public:
    static constexpr size_t kLargestStream = 256u << 20;
    CMemoryStream() : CHostObject(kBStreamId) {}
    explicit CMemoryStream(std::vector<uint8_t> bytes) : CHostObject(kBStreamId), bytes(std::move(bytes)) {}
    tresult VST3_METHOD read(void* buffer, int32_t count, int32_t* got) override
    {
        const size_t n = count <= 0 || position >= bytes.size() ? 0 : std::min<size_t>(count, bytes.size() - position);
        if (n > 0) std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        if (got) *got = static_cast<int32_t>(n);
        return kResultOk;
    }
    tresult VST3_METHOD write(void* buffer, int32_t count, int32_t* put) override
    {
        if (put) *put = 0;
        if (count < 0 || (count > 0 && buffer == nullptr)) return kInvalidArgument;
        if (position + static_cast<size_t>(count) > kLargestStream) {
            refused = true;  // a plug-in that goes on as if it had been written has lost its state
            return kOutOfMemory;
        }
        if (bytes.size() < position + count) bytes.resize(position + count);
        if (count > 0) std::memcpy(bytes.data() + position, buffer, count);
        position += count;
        if (put) *put = count;
        return kResultOk;
    }
    tresult VST3_METHOD seek(int64_t to, int32_t mode, int64_t* now) override
    {
        const int64_t base = mode == 0 ? 0 : mode == 1 ? static_cast<int64_t>(position) : static_cast<int64_t>(bytes.size());
        if (base + to < 0 || mode < 0 || mode > 2) return kInvalidArgument;
        position = static_cast<size_t>(base + to);
        if (now) *now = static_cast<int64_t>(position);
        return kResultOk;
    }
    tresult VST3_METHOD tell(int64_t* now) override
    {
        if (now) *now = static_cast<int64_t>(position);
        return kResultOk;
    }
    void Rewind() { position = 0; }
    const std::vector<uint8_t>& Bytes() const { return bytes; }
    bool Refused() const { return refused; }

private:
    std::vector<uint8_t> bytes;
    size_t position = 0;
    bool refused = false;
};

class CEventList : public CHostObject<IEventList> {
public:
    CEventList() : CHostObject(kEventListId) {}
    int32_t VST3_METHOD getEventCount() override { return static_cast<int32_t>(events.size()); }
    tresult VST3_METHOD getEvent(int32_t index, Event* event) override
    {
        if (index < 0 || index >= static_cast<int32_t>(events.size()) || event == nullptr) return kInvalidArgument;
        *event = events[index];
        return kResultOk;
    }
    // What a plug-in sends is counted, and kept up to a bound: a block's worth of notes.
    tresult VST3_METHOD addEvent(Event* event) override
    {
        if (event == nullptr) return kInvalidArgument;
        ++added;
        if (events.size() >= kMostKept) return kOutOfMemory;
        events.push_back(*event);
        return kResultOk;
    }
    void Clear()
    {
        events.clear();
        added = 0;
    }
    static constexpr size_t kMostKept = 1024;
    std::vector<Event> events;
    int64_t added = 0;
};

// The points of one parameter in one block.
class CParamValueQueue : public CHostObject<IParamValueQueue> {
public:
    explicit CParamValueQueue(uint32_t id) : CHostObject(kParamValueQueueId), id(id) {}
    uint32_t VST3_METHOD getParameterId() override { return id; }
    int32_t VST3_METHOD getPointCount() override { return static_cast<int32_t>(points.size()); }
    tresult VST3_METHOD getPoint(int32_t index, int32_t* offset, double* value) override
    {
        if (index < 0 || index >= getPointCount()) return kInvalidArgument;
        if (offset) *offset = points[index].first;
        if (value) *value = points[index].second;
        return kResultOk;
    }
    tresult VST3_METHOD addPoint(int32_t offset, double value, int32_t* index) override
    {
        if (points.size() >= kMostPoints) return kOutOfMemory;
        if (index) *index = static_cast<int32_t>(points.size());
        points.emplace_back(offset, value);
        return kResultOk;
    }
    static constexpr size_t kMostPoints = 64;
    uint32_t id;
    std::vector<std::pair<int32_t, double>> points;
};

// The parameter changes of one block, in either direction: a plug-in that writes more queues
// than a block can hold is refused the rest.
class CParameterChanges : public CHostObject<IParameterChanges> {
public:
    CParameterChanges() : CHostObject(kParameterChangesId) {}
    int32_t VST3_METHOD getParameterCount() override { return static_cast<int32_t>(queues.size()); }
    IParamValueQueue* VST3_METHOD getParameterData(int32_t index) override
    {
        return index >= 0 && index < getParameterCount() ? &queues[index] : nullptr;
    }
    IParamValueQueue* VST3_METHOD addParameterData(const uint32_t* id, int32_t* index) override
    {
        if (id == nullptr) return nullptr;
        for (size_t i = 0; i < queues.size(); ++i)
            if (queues[i].id == *id) return index ? *index = static_cast<int32_t>(i) : 0, &queues[i];
        if (queues.size() >= kMostQueues) return nullptr;
        if (index) *index = static_cast<int32_t>(queues.size());
        return &queues.emplace_back(*id);
    }
    static constexpr size_t kMostQueues = 4096;
    std::deque<CParamValueQueue> queues;  // a deque: the plug-in holds on to the queues it got
};

// The editor's edits go on to the processor in the next block, as a host relays them.
class CComponentHandler : public CHostObject<IComponentHandler> {
public:
    explicit CComponentHandler(CValueHandOver& edits) : CHostObject(kComponentHandlerId), edits(edits) {}
    tresult VST3_METHOD beginEdit(uint32_t) override { return kResultOk; }
    tresult VST3_METHOD performEdit(uint32_t id, double value) override
    {
        edits.Add(id, value);
        return kResultOk;
    }
    tresult VST3_METHOD endEdit(uint32_t) override { return kResultOk; }
    tresult VST3_METHOD restartComponent(int32_t) override { return kResultOk; }

private:
    CValueHandOver& edits;
};

// The host's event loop as a Linux editor sees it: its descriptors go to the editor loop, its
// timers fire from the editor's idle time, on the server's thread.
class CRunLoop : public CHostObject<IRunLoop> {
public:
    CRunLoop() : CHostObject(kRunLoopId) {}
    tresult VST3_METHOD registerEventHandler(IEventHandler* handler, int fd) override
    {
        if (handler == nullptr || fd < 0) return kInvalidArgument;
        AddEditorFd(handler, fd, [handler, fd] { handler->onFDIsSet(fd); });
        return kResultOk;
    }
    tresult VST3_METHOD unregisterEventHandler(IEventHandler* handler) override
    {
        RemoveEditorFds(handler);
        return kResultOk;
    }
    tresult VST3_METHOD registerTimer(ITimerHandler* handler, uint64_t milliseconds) override
    {
        if (handler == nullptr || timers.size() >= kMostTimers) return kInvalidArgument;
        const auto period = std::chrono::milliseconds(std::max<uint64_t>(milliseconds, kShortestTimerMs));
        timers.push_back({handler, period, std::chrono::steady_clock::now() + period});
        return kResultOk;
    }
    tresult VST3_METHOD unregisterTimer(ITimerHandler* handler) override
    {
        timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const CTimer& timer) { return timer.handler == handler; }),
                     timers.end());
        return kResultOk;
    }
    // Calls each timer that is due; by handler, since one may unregister itself or others.
    void FireTimers()
    {
        const auto now = std::chrono::steady_clock::now();
        std::vector<ITimerHandler*> due;
        for (CTimer& timer : timers)
            if (timer.due <= now) {
                due.push_back(timer.handler);
                timer.due = now + timer.period;
            }
        for (ITimerHandler* handler : due)
            if (std::any_of(timers.begin(), timers.end(), [&](const CTimer& timer) { return timer.handler == handler; }))
                handler->onTimer();
    }
    // What the editor left registered when it was removed is never called again.
    void Forget()
    {
        for (const CEditorFd& fd : EditorFds()) RemoveEditorFds(fd.owner);
        timers.clear();
    }

private:
    static constexpr size_t kMostTimers = 64;
    static constexpr uint64_t kShortestTimerMs = 10;
    struct CTimer {
        ITimerHandler* handler;
        std::chrono::milliseconds period;
        std::chrono::steady_clock::time_point due;
    };
    std::vector<CTimer> timers;
};

class CPlugFrame : public CHostObject<IPlugFrame> {
public:
    CPlugFrame() : CHostObject(kPlugFrameId) {}
    // A Linux editor asks its frame for the host's run loop.
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        if (object != nullptr && SameTuid(iid, kRunLoopId.data())) {
            *object = static_cast<IRunLoop*>(&runLoop);
            return kResultOk;
        }
        return CHostObject::queryInterface(iid, object);
    }
    tresult VST3_METHOD resizeView(IPlugView* view, ViewRect* size) override
    {
        if (view && size) view->onSize(size);
        return kResultOk;
    }
    CRunLoop runLoop;
};

}  // namespace vst3
