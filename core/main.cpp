// Entry point: the arguments are not read.
#include "core/game.h"

int main() { return gameMain(); }
