#pragma once
// The calls a host's audio thread makes into a plug-in, marked. Every host of
// ours makes them through audioCall: the VST 2.4 script player
// effProcessEvents, processReplacing and processDoubleReplacing, the CLAP host
// start_processing and process, the VST 3 host process, the in-process LV2
// host run. A program may set the two hooks, before any audio call is made, to
// learn on which thread each such call begins and ends; the real-time probe
// (tests/realtime) counts what a plug-in asks of the system in between.
// Portable; unset, the hooks cost a test of a pointer.

namespace testhost {

using AudioCallHook = void (*)() noexcept;
inline AudioCallHook audioCallBegins = nullptr; // on the calling thread, just before the plug-in is called
inline AudioCallHook audioCallEnds = nullptr;   // on the same thread, just after it returns

// Makes `call`, one call into the plug-in and nothing of the host's own work,
// between the two hooks, and answers what it answers.
template <class Call>
decltype(auto) audioCall(Call&& call) {
    struct Marked {
        Marked() noexcept {
            if (audioCallBegins != nullptr) audioCallBegins();
        }
        ~Marked() {
            if (audioCallEnds != nullptr) audioCallEnds();
        }
    } const marked;
    return call();
}

} // namespace testhost
