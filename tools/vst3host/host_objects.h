#pragma once
// The host's side of the VST 3 interfaces a plug-in calls back into: a byte
// stream in memory, a block's event list and parameter changes, the host
// application, a component handler that records the edits it receives and
// a frame around an editor view that records the sizes it is asked for.
// Each object lives as long as its owner on the host's side keeps it (on the
// stack or as a member); the reference count is kept so a test can tell that
// the plug-in gives back every reference it took, but never frees anything.
// Portable; main thread, except the lists, which the audio thread reads.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/vst3/view.h"
#include "framework/vst3/vst.h"

namespace vst3host {

using namespace zem::vst3;

// FUnknown for a host object that has interface I (and FUnknown).
template <class I>
class HostObject : public I {
public:
    tresult ZEM_VST3_CALL queryInterface(const TUID iid, void** obj) override {
        if (obj == nullptr) return kInvalidArgument;
        if (sameUid(iid, FUnknown::iid) || sameUid(iid, I::iid)) {
            addRef();
            *obj = static_cast<I*>(this);
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 ZEM_VST3_CALL addRef() override { return ++references; }
    uint32 ZEM_VST3_CALL release() override { return --references; }

    // References others hold beyond the owner's own one.
    int extraReferences() const { return static_cast<int>(references.load()) - 1; }

private:
    std::atomic<uint32> references{1};
};

// A growable byte stream, as hosts hand to getState and setState.
class MemoryStream final : public HostObject<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}

    tresult ZEM_VST3_CALL read(void* buffer, int32 numBytes, int32* numBytesRead) override;
    tresult ZEM_VST3_CALL write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
    tresult ZEM_VST3_CALL seek(int64 pos, int32 mode, int64* result) override;
    tresult ZEM_VST3_CALL tell(int64* pos) override;

    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

class EventList final : public HostObject<IEventList> {
public:
    int32 ZEM_VST3_CALL getEventCount() override { return static_cast<int32>(events.size()); }
    tresult ZEM_VST3_CALL getEvent(int32 index, Event& e) override;
    tresult ZEM_VST3_CALL addEvent(Event& e) override;

    void noteOn(int32 offset, int pitch, float velocity, int channel = 0);
    void noteOff(int32 offset, int pitch, float velocity = 0.0f, int channel = 0);

    std::vector<Event> events;
};

class ParamValueQueue final : public HostObject<IParamValueQueue> {
public:
    explicit ParamValueQueue(ParamID id) : id(id) {}
    ParamID ZEM_VST3_CALL getParameterId() override { return id; }
    int32 ZEM_VST3_CALL getPointCount() override { return static_cast<int32>(points.size()); }
    tresult ZEM_VST3_CALL getPoint(int32 index, int32& sampleOffset, ParamValue& value) override;
    tresult ZEM_VST3_CALL addPoint(int32 sampleOffset, ParamValue value, int32& index) override;

    ParamID id;
    struct Point {
        int32 offset;
        ParamValue value;
    };
    std::vector<Point> points;
};

class ParameterChanges final : public HostObject<IParameterChanges> {
public:
    int32 ZEM_VST3_CALL getParameterCount() override { return static_cast<int32>(queues.size()); }
    IParamValueQueue* ZEM_VST3_CALL getParameterData(int32 index) override;
    IParamValueQueue* ZEM_VST3_CALL addParameterData(const ParamID& id, int32& index) override;

    // Adds a point to id's queue (made when id has none yet).
    void add(ParamID id, int32 offset, ParamValue value);
    bool empty() const { return queues.empty(); }
    void clear() { queues.clear(); }

    // Stable addresses while queues are added (a plug-in holds them for the block).
    std::vector<std::unique_ptr<ParamValueQueue>> queues;
};

class HostApplication final : public HostObject<IHostApplication> {
public:
    tresult ZEM_VST3_CALL getName(String128 name) override;
    // Makes no objects for the plug-in.
    tresult ZEM_VST3_CALL createInstance(TUID, TUID, void** obj) override;
};

// Records every edit the plug-in reports.
class ComponentHandler final : public HostObject<IComponentHandler> {
public:
    struct Edit {
        char kind; // 'b' begin, 'p' perform, 'e' end
        ParamID id;
        ParamValue value;
    };
    tresult ZEM_VST3_CALL beginEdit(ParamID id) override;
    tresult ZEM_VST3_CALL performEdit(ParamID id, ParamValue valueNormalized) override;
    tresult ZEM_VST3_CALL endEdit(ParamID id) override;
    tresult ZEM_VST3_CALL restartComponent(int32 flags) override;

    std::vector<Edit> edits;
    int restarts = 0;
};

// The host's window around a view: grants every size the view asks for and,
// as hosts do, tells the view its new size (onSize). A test's frame that
// offers more (a run loop) derives from it.
class PlugFrame : public HostObject<IPlugFrame> {
public:
    tresult ZEM_VST3_CALL resizeView(IPlugView* view, ViewRect* newSize) override;
    std::vector<ViewRect> resized; // each size asked for
};

} // namespace vst3host
