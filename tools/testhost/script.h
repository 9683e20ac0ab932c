#pragma once
// The test host's scripts: timed MIDI commands and parameter changes, read
// from text and played into a VST 2.4 instance block by block, as a host
// plays a sequence. Portable: the Windows test host, native tools and the
// tests share it.
//
// Script format: one command per line; '#' starts a comment; blank lines are
// skipped. Every command begins with its time in seconds from the start:
//   TIME on NOTE [VELOCITY [CHANNEL]]    note on (velocity 100, channel 1 by default)
//   TIME off NOTE [VELOCITY [CHANNEL]]   note off
//   TIME pedal down|up [CHANNEL]         sustain pedal (controller 64)
//   TIME cc CONTROLLER VALUE [CHANNEL]   any controller
//   TIME bend VALUE [CHANNEL]            pitch bend, -8192..8191 (0 = centre)
//   TIME param INDEX VALUE               setParameter with a normalized value
//   TIME param "NAME" VALUE              the same for the parameter the plug-in calls NAME
//   TIME end                             length of the rendering (default: 1 s after the last command)
// Channels are 1..16. MIDI commands reach the plug-in through effProcessEvents
// at their exact sample offset in the block that contains them; parameter
// changes are made before that block is processed. Commands may be listed in
// any order; they are sorted by time (stable for equal times).
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "framework/vst2.h"

namespace testhost {

struct Command {
    long long frame;       // when, in samples from the start
    bool isParameter;      // setParameter instead of MIDI
    int index;             // parameter index; -1 until `name` is looked up
    std::string name;      // parameter name, when the script gave one instead of an index
    float value;           // normalized parameter value
    unsigned char midi[3]; // status and data bytes
};

struct Script {
    std::vector<Command> commands; // sorted by frame
    long long endFrame = -1;       // from an `end` line; -1 if none

    // Frames to render: the `end` line's, else one second (at rate) after the last command.
    long long length(double rate) const;
};

// Reads a script for the given sample rate. On failure answers false and
// says why in `error` (with the line number).
bool parseScript(std::istream& in, double rate, Script& script, std::string& error);
bool readScript(const char* path, double rate, Script& script, std::string& error);

// Looks up every parameter name of the script among the plug-in's (through
// effGetParamName) and sets the command's index. A name the plug-in does not
// have is an error: false, with `error` saying which.
bool resolveNames(AEffect* effect, Script& script, std::string& error);

// The most audio inputs or outputs a plug-in may declare for playScript.
constexpr int kMaxChannels = 64;

// Whether playScript can play the instance: it has the processing call asked
// for (processDoubleReplacing when useDouble, else processReplacing) and
// declares 0..kMaxChannels inputs and outputs. If not, answers false and
// says why in `error`.
bool canPlay(AEffect* effect, bool useDouble, std::string& error);

// Plays the script into an open instance that canPlay accepts, at `rate` in
// blocks of `block` frames (processDoubleReplacing when useDouble, narrowed
// to float) and answers its first output. Every input and output the
// instance declares gets a buffer of its own (inputs silent), as a host gives
// them; an instance that declares no output still gets one to write. The
// instance's rate and block size are set first. Names must have been
// resolved; a parameter command whose index is still -1 sets nothing. With
// cutAtParameters, a block is also cut where a parameter change falls, so
// that each change sounds from its own sample on, as a format with timed
// parameter events places it (blocks still start on the multiples of
// `block`).
std::vector<float> playScript(AEffect* effect, const Script& script, double rate, int block, bool useDouble,
                              bool cutAtParameters = false);

// playScript a block at a time, for a host that plays several instances
// side by side: construction sets the rate and block size and switches
// processing on, each next() plays one block and appends its first output
// to `output` (false once the script is done), destruction switches
// processing off. The script must outlive the player.
class ScriptPlayer {
public:
    ScriptPlayer(AEffect* effect, const Script& script, double rate, int block, bool useDouble,
                 bool cutAtParameters = false);
    ~ScriptPlayer();
    ScriptPlayer(const ScriptPlayer&) = delete;
    ScriptPlayer& operator=(const ScriptPlayer&) = delete;

    bool next(std::vector<float>& output);

private:
    struct Buffers;
    AEffect* e_;
    const Script& script_;
    int block_;
    bool useDouble_, cutAtParameters_;
    long long total_;
    long long start_ = 0;
    std::size_t next_ = 0;
    std::unique_ptr<Buffers> buffers_;
};

} // namespace testhost
