// Placeholder until the menu lands: keeps the game linkable.
#include "scores/menu.h"

int32_t menuChoice = -1;

void menuFrame() {}
