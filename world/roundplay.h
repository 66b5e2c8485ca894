// A round without a screen: the rules of each frame in the order the game's
// frame runs them, fed one input per frame. The checker, the score server and
// the tests play recorded rounds with it; the game runs the same functions
// with its drawing between them.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/input.h"

class PackSheets;
struct Replay;

// The rules read their sprites' animations from this pack, on a playfield of
// w x h pixels: fly, cursor and every sheet the weapons look up.
void useSheets(const PackSheets& pack, int32_t w, int32_t h);

// Frame 0, the one in which the round starts: the round's generator seeded,
// a new round with the pointer at first's, then the rest of that frame's
// rules (the world pass, the delays, the ring with first's buttons, the look).
void beginRound(uint32_t seed, const PlayerInput& first);
// Every later frame: the pointer, the play block, the firing rule (unless the
// round was just found lost), the world pass, the delays, the ring, the look.
// True in the frame that finds the round lost: the round's last.
bool roundFrame(const PlayerInput& in);

// A checksum of the world after a frame: the round's counters, the pointer,
// the arsenal, the generator and every field of every object in the lists.
uint32_t worldChecksum();

// What playing a recording again gave.
struct ReplayCheck {
    bool match = false;       // every checksum, the round's end and its score as recorded
    int32_t frames = 0;       // frames played
    int32_t flies = 0, time = 0;  // the score the rules gave
    std::string difference;   // the first difference: its frame and value, in plain words
};

// Plays the recording with the pack's sheets, frame by frame, comparing each
// checksum as it comes; stops at the first difference.
ReplayCheck checkReplay(const Replay& r, const PackSheets& pack);

// Plays a round with the pack's sheets on a w x h playfield, `input` giving
// frame 0's pointer and then each frame's input from the world as the frame
// before left it, until the round is lost (or `maxFrames`), and returns it as
// the game records it: frames, checksums and score. (The bot, the tests.)
Replay recordRound(const PackSheets& pack, uint32_t seed, int32_t w, int32_t h,
                   const std::function<PlayerInput(int32_t frame)>& input, int32_t maxFrames);
