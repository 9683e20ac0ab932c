/*
 * An LV2 instrument of the tests' own that crashes its host on the way out:
 * it plays a sine at each note's pitch, and once it has played a note, its
 * cleanup calls abort(). A host check renders with it to show that a host
 * that crashes while tearing down fails the check, even when the file it
 * wrote before is perfect.
 */
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>
#include <math.h>
#include <stdbool.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    const LV2_Atom_Sequence* midi;
    float* out;
    LV2_URID midiEvent;
    double rate;
    double phase; /* cycles */
    double hz;    /* 0 while no note sounds */
    int note;
    bool played;
} Instance;

static LV2_Handle instantiate(const LV2_Descriptor* descriptor, double rate, const char* bundle,
                              const LV2_Feature* const* features)
{
    (void)descriptor;
    (void)bundle;
    const LV2_URID_Map* map = NULL;
    for (int i = 0; features[i]; ++i)
        if (!strcmp(features[i]->URI, LV2_URID__map)) map = features[i]->data;
    if (!map) return NULL;
    Instance* self = calloc(1, sizeof *self);
    if (!self) return NULL;
    self->midiEvent = map->map(map->handle, LV2_MIDI__MidiEvent);
    self->rate = rate;
    return self;
}

static void connect_port(LV2_Handle handle, uint32_t port, void* data)
{
    Instance* self = handle;
    if (port == 0) self->midi = data;
    if (port == 1) self->out = data;
}

static void play(Instance* self, uint32_t from, uint32_t to)
{
    for (uint32_t i = from; i < to; ++i) {
        self->out[i] = self->hz > 0 ? (float)(0.25 * sin(2.0 * M_PI * self->phase)) : 0.0f;
        self->phase = fmod(self->phase + self->hz / self->rate, 1.0);
    }
}

static void run(LV2_Handle handle, uint32_t frames)
{
    Instance* self = handle;
    uint32_t done = 0;
    LV2_ATOM_SEQUENCE_FOREACH(self->midi, event)
    {
        if (event->body.type != self->midiEvent || event->body.size < 3) continue;
        uint32_t at = event->time.frames < frames ? (uint32_t)event->time.frames : frames;
        if (at > done) play(self, done, at), done = at;
        const uint8_t* msg = (const uint8_t*)(event + 1);
        const uint8_t kind = msg[0] & 0xF0;
        if (kind == LV2_MIDI_MSG_NOTE_ON && msg[2] > 0) {
            self->note = msg[1];
            self->hz = 440.0 * pow(2.0, (msg[1] - 69) / 12.0);
            self->played = true;
        } else if ((kind == LV2_MIDI_MSG_NOTE_OFF || kind == LV2_MIDI_MSG_NOTE_ON) && msg[1] == self->note) {
            self->hz = 0;
        }
    }
    play(self, done, frames);
}

static void cleanup(LV2_Handle handle)
{
    Instance* self = handle;
    const bool played = self->played;
    free(self);
    if (played) abort();
}

static const LV2_Descriptor descriptor = {
    "https://orvandel.com/plugins/veldane/tests/teardown-abort", instantiate, connect_port, NULL, run, NULL,
    cleanup, NULL};

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) { return index == 0 ? &descriptor : NULL; }
