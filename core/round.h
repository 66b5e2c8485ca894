// The round: its counters, reset, the play block (clock, spawning) and the
// world pass over the four object lists.
#pragma once
#include <cstdint>

// ---- Round counters ---------------------------------------------------------
extern int32_t health;      // 6 at the start of a round; the round ends below 1
extern int32_t kills;       // flies defeated this round
extern int32_t roundTicks;  // play frames this round

void resetRound();
void playFrame();   // StatePlay's block
void worldPass();   // weapons, flies, particles, drops
