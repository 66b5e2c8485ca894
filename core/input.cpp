// Placeholder until the cursor lands: keeps the game linkable.
#include "core/input.h"

int32_t mouseX = 0, mouseY = 0;
int32_t cursorAnim = 0;

void cursorHead() {}
void cursorDraw() {}
