// Entry point: the game, or with --watch FILE a recording played in its window.
#include <cstdio>
#include <cstring>

#include "game/game.h"
#include "game/watch.h"

static int usage(FILE* to, int code) {
    fprintf(to, "usage: bzykolot2 [--watch FILE]\n");
    return code;
}

int main(int argc, char** argv) {
    if (argc == 1) return gameMain();
    if (argc == 3 && strcmp(argv[1], "--watch") == 0) return watchMain(argv[2]);
    if (argc == 2 && strcmp(argv[1], "--help") == 0) return usage(stdout, 0);
    return usage(stderr, 2);
}
