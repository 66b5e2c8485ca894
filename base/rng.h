// The round's random generator: glibc's rand() (its additive feedback
// generator, x[i] = x[i-3] + x[i-31], the low bit dropped), written out so a
// round draws the same numbers whatever C library the program runs on.
#pragma once
#include <cstdint>

class Rng {
public:
    // As srand(seed): 0 counts as 1.
    void seed(uint32_t s);
    // The next number, 0 to 2147483647, as rand() gives it.
    int32_t next();

    // The whole state (for the world's checksum): 31 words and the two taps.
    int32_t state[31] = {};
    int32_t front = 3, rear = 0;  // positions of the taps in `state`
};

// ---- The round's generator ---------------------------------------------------
// Every draw the world makes comes from here; a round seeds it once at its start.
extern Rng roundRng;

// The next number of roundRng: every rule's rand().
inline int32_t roll() { return roundRng.next(); }
