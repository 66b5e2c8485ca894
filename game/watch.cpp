#include "game/watch.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/rng.h"
#include "game/frame.h"
#include "game/game.h"
#include "game/input.h"
#include "game/lang.h"
#include "game/panel.h"
#include "game/round.h"
#include "game/transfer.h"
#include "media/dirty.h"
#include "media/events.h"
#include "world/mucha.h"
#include "world/roundplay.h"

namespace {

bool active = false;
Replay watched;
size_t next = 0;          // the recorded frame the next frame plays
size_t nextSum = 0;       // the next checksum to compare
bool differed = false;    // a difference was logged
int32_t endFrames = 0;    // frames the score has been shown

// Frames the score stays on the panel after the round: about two seconds.
constexpr int32_t kEndFrames = 125;

}  // namespace

bool watching() { return active; }

void watchReplay(const Replay& r) {
    watched = r;
    active = true;
    next = nextSum = 0;
    differed = false;
    endFrames = 0;
    gameState = StateMenu;  // the first frame's block starts the round
}

void endWatch() { active = false; }

void watchHead() {
    if (frameInput.held(KeyEscape) || frameInput.held(KeyF2)) running = false;
    if (next < watched.frames.size()) {
        frameInput.player = watched.frames[next++];
    } else {
        frameInput.player.buttons = 0;  // the round is over: the pointer rests
    }
}

void startWatchedRound() {
    const PlayerInput& first = watched.frames[0];
    newRound(first.x, first.y);
    roundRng.seed(watched.seed);
    fullUpdate = true;
    gameState = StatePlay;
}

void watchCheck() {
    if (!active || next == 0 || next > watched.frames.size() || nextSum >= watched.checksums.size()) return;
    const size_t frame = next - 1;
    if (checksumFrame(nextSum, watched.frames.size()) != frame) return;
    const uint32_t sum = worldChecksum();
    if (sum != watched.checksums[nextSum] && !differed) {
        printf("FAIL: Replay: Nagranie rozjechalo sie w klatce %zu\n", frame);
        differed = true;
    }
    ++nextSum;
}

void watchEndFrame() {
    char text[128];
    snprintf(text, sizeof text, tr("Pokonanych much: %d\nPrzetrwano: %ds\n\n"), kills, roundTicks / 60);
    scoreMessage = text + std::string(tr("Koniec nagrania."));
    drawScorePanel();
    if (++endFrames >= kEndFrames) running = false;
}

// The recording's bytes from a file, or from a score server's URL; false with the reason.
static bool fetchRecording(const std::string& where, std::string& bytes, std::string& reason) {
    if (where.rfind("http://", 0) == 0 || where.rfind("https://", 0) == 0) {
        const Answer a = fetchUrl(where);
        bytes = a.body;
        if (!a.done) return reason = a.error, false;
        if (a.status != 200) return reason = "the server answered " + std::to_string(a.status), false;
        return true;
    }
    std::ifstream in(where, std::ios::binary);
    std::ostringstream s;
    if (in) s << in.rdbuf();
    bytes = s.str();
    return in ? true : (reason = "cannot be read", false);
}

int watchMain(const std::string& file, const std::string& serverOption) {
    openRun(serverOption);
    std::string bytes, reason;
    Replay r;
    if (!fetchRecording(file, bytes, reason) || !decodeReplay(bytes, r, &reason)) {
        fprintf(stderr, "bzykolot2: %s: %s\n", file.c_str(), reason.c_str());
        return 2;
    }

    // The recorded screen's size: the whole screen when the desktop has it, else a window.
    StartOptions options;
    options.width = r.width;
    options.height = r.height;
    if (SDL_Init(SDL_INIT_VIDEO) == 0) {
        const SDL_VideoInfo* desktop = SDL_GetVideoInfo();
        if (!desktop || desktop->current_w != r.width || desktop->current_h != r.height) options.videoFlags = 0;
    }
    const int failure = startGame(options);
    if (failure) {
        tellFatal(failure);
        return failure;
    }
    if (r.gfxDigest != gfxDigest) {
        shutdownGame();
        fprintf(stderr, "bzykolot2: %s: recorded with other game data (%s, this game has %s)\n", file.c_str(),
                r.gfxDigest.c_str(), gfxDigest.c_str());
        return 2;
    }
    printf("INFO: Replay: Odtwarzanie %s\n", file.c_str());
    watchReplay(r);
    do {
        runFrame();
    } while (running);
    endWatch();
    shutdownGame();
    return 0;
}
