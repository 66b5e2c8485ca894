// Entry point: the game, or with --watch a recording played in its window.
#include "game/game.h"
#include "game/options.h"
#include "game/watch.h"

int main(int argc, char** argv) {
    Options o;
    const int code = parseOptions(argc, argv, o);
    if (code >= 0) return code;
    return o.watch.empty() ? gameMain(o.server) : watchMain(o.watch, o.server);
}
