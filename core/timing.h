// Frame timing and the drawing budget kept in "upds".
#pragma once
#include <SDL/SDL.h>
#include <cstdint>

// A stored budget above this is taken for a corrupt file and measured again.
constexpr int32_t kMaxStoredBudget = 1000000;

// Rectangle presentations that fit into one ~16 ms window; 0 without a screen.
int32_t benchmark();
// Sets maxUpdates from "upds", or measures it and rewrites the file.
void getMaxUpdates();
// getMaxUpdates over any file, with `measure` run 20 times in place of benchmark.
void getMaxUpdatesFrom(const char* path, int32_t (*measure)());
// The budget stored in the file: its first 4 bytes, little-endian signed; 0 when
// the file is missing, shorter than 4 bytes, or holds 0, a negative value or one
// above kMaxStoredBudget.
int32_t readBudget(const char* path);
// Present, once-per-second debug line, reset dirtyCount.
void presentFrame();
// Milliseconds a frame that started at `start` still waits at `now`, or -1 when it
// does not wait at all (it took more than 14 ms, or right Shift fast-forwards).
int32_t frameWait(Uint32 start, Uint32 now, bool fastForward);
// Waits out the rest of the 16 ms frame (skipped while right Shift is held).
void paceFrame();
