#include "base/scorebound.h"

// Where the bound comes from:
// - Flies spawn only in play frames whose clock is a multiple of the spawn
//   interval, 60 - kills / 5 but at least 10. Kills never fall during a round,
//   so the interval never grows and the frames 1..T fall into at most 51 runs,
//   one per interval from 60 down to 10. A run of L frames at an interval of at
//   least 10 holds at most (L - 1) / 10 + 1 multiples of it, so the round
//   spawns at most T / 10 + 51 flies while it is played. (The interval may
//   shrink between two spawns, so spawns can come closer than 10 frames: the 51
//   runs are needed, not T / 10 alone.)
// - The frame that finds the round lost does not advance the clock and may
//   spawn once more: + 1.
// - A fly adds one kill when it dies, by a weapon or when the lost round kills
//   every fly left; one that dies on the cursor adds a second, and each such
//   sting costs one of the six points of health: + 6.
int64_t mostFlies(int64_t frames) { return frames / 10 + 51 + 1 + 6; }

bool possibleScore(int64_t flies, int64_t frames) {
    return frames >= 1 && flies >= 0 && flies <= mostFlies(frames);
}
