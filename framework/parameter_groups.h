#pragma once
// How a plug-in groups its parameters for hosts that show groups: VST 3
// units, CLAP parameter modules and remote-control pages. The plug-in
// decides the groups (usually its editor's sections); the format glue only
// passes them on.
//
// A parameter in no group is one the plug-in shows nowhere, kept only so
// that saved states and automation still find its index: hosts get it
// hidden, read-only and not automatable.
//
// Any thread; the functions are pure and never allocate.

namespace zem {

struct ParameterGroups {
    int count; // groups, numbered 0..count-1 in the order hosts list them
    // The group's name as hosts show it; null for a number outside 0..count-1.
    const char* (*nameOf)(int group) noexcept;
    // The group of the parameter at `index`; -1 for none (see above) and for
    // an index outside the parameter set.
    int (*groupOf)(int index) noexcept;
};

// Whether hosts may see and change the parameter at `index`.
inline bool isShown(const ParameterGroups& groups, int index) noexcept { return groups.groupOf(index) >= 0; }

} // namespace zem
