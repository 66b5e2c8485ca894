// The drawing budget: how many rectangle presentations fit into one frame,
// measured once and kept in a 4-byte file ("upds").
#pragma once
#include <cstdint>

// A stored budget above this is taken for a corrupt file and measured again.
constexpr int32_t kMaxStoredBudget = 1000000;

// Rectangle presentations that fit into one ~16 ms window; 0 without a screen.
int32_t benchmark();
// Sets maxUpdates from the file at `path`, or measures it with `measure` run
// 20 times (the average) and rewrites the file.
void getMaxUpdatesFrom(const char* path, int32_t (*measure)());
// The budget stored in the file: its first 4 bytes, little-endian signed; 0 when
// the file is missing, shorter than 4 bytes, or holds 0, a negative value or one
// above kMaxStoredBudget.
int32_t readBudget(const char* path);
