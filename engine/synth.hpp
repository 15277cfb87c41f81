// Pitch-synchronous overlap-add on pitch-marked diphones.
//
// Each phone is made of two half-diphones: its first part is the right half
// of the diphone that enters it (previous phone to this one), its second
// part the left half of the diphone that leaves it. The phone's duration is
// shared between the two in the proportion of their recorded lengths, and
// each part maps output time linearly onto its stretch of recording.
//
// Output pitch marks follow the pitch curve: at every mark the curve gives
// the next period. For each output mark the nearest recorded mark at the
// mapped source time is taken, and the two periods around it, shaped by a
// Hann window, are added into the output centred on the output mark. When
// the pitch is raised the window is narrowed to the output period, so the
// old pitch does not show through; when it is lowered, grains keep their own
// width and leave a gap. Unvoiced marks keep their recorded spacing; a
// grain taken twice in a row is played backwards, so that stretched noise
// does not turn into a buzz at the mark rate.
//
// A silence phone does not stretch the recording that leads into it or out
// of it: the end of the sound before a pause (the half-diphone from the
// last phone into silence) plays at its own pace from the pause's start and
// is followed by silence, and the start of the sound after a pause likewise
// ends at the pause's end. Stretched, the few periods of a fading voice
// would be repeated at the pitch rate through the whole pause, a creak of
// isolated pulses.
//
// The pitch curve joins the targets linearly across phone boundaries and is
// flat before the first target and after the last; without targets it is
// the database's own pitch. The output holds exactly the sum of the
// durations, in samples at the database's rate.
#pragma once

#include <vector>

#include "database.hpp"
#include "lines.hpp"

namespace mbr {

struct SynthPhone {
    double durationMs = 0;
    std::vector<Target> targets;
    int enter = -1;  // diphone whose right half starts the phone; -1: silence
    int leave = -1;  // diphone whose left half ends it; -1: silence
};

// Reusable buffers, so that a run allocates only when a longer batch comes.
struct SynthScratch {
    std::vector<double> pitchTime, pitchHz;
    struct Part {
        double outStart, outEnd, srcStart, srcEnd;
        int diphone;
        int anchor;  // 0 stretched over the part; 1 at its own pace from the start; -1 ending at the end
    };
    std::vector<Part> parts;
};

// Replaces out with the samples of the phones (floats at db.rate).
void synthesise(const Database& db, const std::vector<SynthPhone>& phones, std::vector<float>& out,
                SynthScratch& scratch);

}  // namespace mbr
