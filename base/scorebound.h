// The most flies a round can yield in a given number of play frames, derived
// from the round's rules, so the score server can refuse what no round makes.
#pragma once
#include <cstdint>

// An upper bound on the kills a round of `frames` (at least 1) play frames
// sends: frames / 10 + 58 (integer division).
int64_t mostFlies(int64_t frames);

// Whether a round could have ended with `flies` kills after `frames` frames:
// at least one frame and no more than mostFlies(frames).
bool possibleScore(int64_t flies, int64_t frames);
