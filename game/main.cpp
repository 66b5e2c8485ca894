// Entry point: the arguments are not read.
#include "game/game.h"

int main() { return gameMain(); }
