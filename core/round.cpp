// Placeholder until the round lands: keeps the game linkable.
#include "core/round.h"

int32_t health = 6;
int32_t kills = 0;
int32_t roundTicks = 0;

void resetRound() {}
void playFrame() {}
void worldPass() {}
