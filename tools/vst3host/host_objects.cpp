#include "tools/vst3host/host_objects.h"

#include <algorithm>
#include <cstring>

#include "framework/vst3/text.h"

namespace vst3host {

tresult ZEM_VST3_CALL MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
    if (numBytesRead != nullptr) *numBytesRead = 0;
    if (buffer == nullptr || numBytes < 0) return kInvalidArgument;
    const std::size_t n = std::min(static_cast<std::size_t>(numBytes), bytes.size() - position);
    if (n > 0) std::memcpy(buffer, bytes.data() + position, n);
    position += n;
    if (numBytesRead != nullptr) *numBytesRead = static_cast<int32>(n);
    return kResultOk;
}

tresult ZEM_VST3_CALL MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
    if (numBytesWritten != nullptr) *numBytesWritten = 0;
    if (buffer == nullptr || numBytes < 0) return kInvalidArgument;
    const std::size_t n = static_cast<std::size_t>(numBytes);
    if (bytes.size() < position + n) bytes.resize(position + n);
    if (n > 0) std::memcpy(bytes.data() + position, buffer, n);
    position += n;
    if (numBytesWritten != nullptr) *numBytesWritten = numBytes;
    return kResultOk;
}

tresult ZEM_VST3_CALL MemoryStream::seek(int64 pos, int32 mode, int64* result) {
    const int64 base = mode == kIBSeekSet ? 0
                       : mode == kIBSeekCur ? static_cast<int64>(position)
                                            : static_cast<int64>(bytes.size());
    if (mode < kIBSeekSet || mode > kIBSeekEnd || base + pos < 0) return kInvalidArgument;
    position = static_cast<std::size_t>(std::min<int64>(base + pos, static_cast<int64>(bytes.size())));
    if (result != nullptr) *result = static_cast<int64>(position);
    return kResultOk;
}

tresult ZEM_VST3_CALL MemoryStream::tell(int64* pos) {
    if (pos == nullptr) return kInvalidArgument;
    *pos = static_cast<int64>(position);
    return kResultOk;
}

tresult ZEM_VST3_CALL EventList::getEvent(int32 index, Event& e) {
    if (index < 0 || index >= getEventCount()) return kInvalidArgument;
    e = events[static_cast<std::size_t>(index)];
    return kResultOk;
}

tresult ZEM_VST3_CALL EventList::addEvent(Event& e) {
    events.push_back(e);
    return kResultOk;
}

void EventList::noteOn(int32 offset, int pitch, float velocity, int channel) {
    Event e{};
    e.sampleOffset = offset;
    e.type = Event::kNoteOnEvent;
    e.noteOn.channel = static_cast<int16>(channel);
    e.noteOn.pitch = static_cast<int16>(pitch);
    e.noteOn.velocity = velocity;
    e.noteOn.noteId = -1;
    events.push_back(e);
}

void EventList::noteOff(int32 offset, int pitch, float velocity, int channel) {
    Event e{};
    e.sampleOffset = offset;
    e.type = Event::kNoteOffEvent;
    e.noteOff.channel = static_cast<int16>(channel);
    e.noteOff.pitch = static_cast<int16>(pitch);
    e.noteOff.velocity = velocity;
    e.noteOff.noteId = -1;
    events.push_back(e);
}

tresult ZEM_VST3_CALL ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    sampleOffset = points[static_cast<std::size_t>(index)].offset;
    value = points[static_cast<std::size_t>(index)].value;
    return kResultOk;
}

tresult ZEM_VST3_CALL ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
    index = getPointCount();
    points.push_back({sampleOffset, value});
    return kResultOk;
}

IParamValueQueue* ZEM_VST3_CALL ParameterChanges::getParameterData(int32 index) {
    return index >= 0 && index < getParameterCount() ? queues[static_cast<std::size_t>(index)].get() : nullptr;
}

IParamValueQueue* ZEM_VST3_CALL ParameterChanges::addParameterData(const ParamID& id, int32& index) {
    for (std::size_t i = 0; i < queues.size(); ++i) {
        if (queues[i]->id == id) {
            index = static_cast<int32>(i);
            return queues[i].get();
        }
    }
    index = getParameterCount();
    queues.push_back(std::make_unique<ParamValueQueue>(id));
    return queues.back().get();
}

void ParameterChanges::add(ParamID id, int32 offset, ParamValue value) {
    int32 index = 0;
    int32 point = 0;
    addParameterData(id, index)->addPoint(offset, value, point);
}

tresult ZEM_VST3_CALL HostApplication::getName(String128 name) {
    if (name == nullptr) return kInvalidArgument;
    copyText(name, 128, "vst3host");
    return kResultOk;
}

tresult ZEM_VST3_CALL HostApplication::createInstance(TUID, TUID, void** obj) {
    if (obj != nullptr) *obj = nullptr;
    return kNotImplemented;
}

tresult ZEM_VST3_CALL ComponentHandler::beginEdit(ParamID id) {
    edits.push_back({'b', id, 0.0});
    return kResultOk;
}

tresult ZEM_VST3_CALL ComponentHandler::performEdit(ParamID id, ParamValue valueNormalized) {
    edits.push_back({'p', id, valueNormalized});
    return kResultOk;
}

tresult ZEM_VST3_CALL ComponentHandler::endEdit(ParamID id) {
    edits.push_back({'e', id, 0.0});
    return kResultOk;
}

tresult ZEM_VST3_CALL ComponentHandler::restartComponent(int32) {
    ++restarts;
    return kResultOk;
}

tresult ZEM_VST3_CALL PlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
    if (view == nullptr || newSize == nullptr) return kInvalidArgument;
    resized.push_back(*newSize);
    return view->onSize(newSize);
}

} // namespace vst3host
