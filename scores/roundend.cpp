// Placeholder until the round-end screen lands: keeps the game linkable.
#include "scores/roundend.h"

char nick[32] = {0};
int32_t nickPos = 0;
int32_t lastKey = 0;

void roundEndFrame() {}
bool submitScore() { return false; }
bool downloadTable() { return false; }
size_t writeResponse(char*, size_t, size_t, void*) { return 0; }
void drawScorePanel() {}
