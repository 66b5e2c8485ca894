#include "base/rng.h"

Rng roundRng;

void Rng::seed(uint32_t s) {
    if (s == 0) s = 1;
    // (16807 * x) % 2147483647 without overflowing 31 bits (Schrage), in
    // glibc's own types, so that seeds past 2^31 come out as there too.
    int32_t word = static_cast<int32_t>(s);
    state[0] = word;
    for (int i = 1; i < 31; ++i) {
        const int64_t hi = word / 127773;
        const int64_t lo = word % 127773;
        word = static_cast<int32_t>(16807 * lo - 2836 * hi);
        if (word < 0) word += 2147483647;
        state[i] = word;
    }
    front = 3;
    rear = 0;
    for (int i = 0; i < 310; ++i) next();  // glibc stirs the state ten times its size
}

int32_t Rng::next() {
    const uint32_t sum = static_cast<uint32_t>(state[front]) + static_cast<uint32_t>(state[rear]);
    state[front] = static_cast<int32_t>(sum);
    if (++front == 31) front = 0;
    if (++rear == 31) rear = 0;
    return static_cast<int32_t>(sum >> 1);
}
