// The frame: its steps in order, presenting with the once-a-second debug
// line, and the 16 ms pacing.
#include "game/frame.h"

#include <algorithm>
#include <cstdio>

#include "game/arsenal.h"
#include "game/cursor.h"
#include "game/game.h"
#include "game/input.h"
#include "game/recorder.h"
#include "game/round.h"
#include "game/watch.h"
#include "media/dirty.h"
#include "media/events.h"
#include "media/video.h"
#include "world/objects.h"

uint32_t frameStart = 0;
time_t lastSecond = 0;

// The game's function for each FrameStep, in that order.
static void (*const kSteps[FrameSteps])() = {
    frameHead, clearScreen, cursorHead, dispatchState, worldPass,
    delayStep, weaponRing, cursorDraw, recordStep, presentFrame, paceFrame,
};

void runFrame(FrameProbe* probe) {
    for (int32_t i = 0; i < FrameSteps; ++i) {
        const FrameStep step = static_cast<FrameStep>(i);
        if (!probe || probe->before(step)) kSteps[i]();
        if (probe) probe->after(step);
    }
}

void frameHead() {
    frameStart = SDL_GetTicks();
    pollEvent();
    readInput();
    if (frameInput.held(KeyLeftAlt) && frameInput.held(KeyF4)) running = false;
    if (watching()) {
        watchHead();
        return;
    }
    if (frameInput.held(KeyF2)) {
        // A window that cannot be re-made leaves nothing to run the game in.
        if (!init(SDL_FULLSCREEN)) abortGame(100);
        fitField();
        resetRound();
        readPointer();
    }
    if (frameInput.held(KeyEscape) && gameState != StatePlay) {
        gameState = StateMenu;
        fullUpdate = true;
    }
}

void clearScreen() { clearDrawn(); }

void recordStep() {
    recordFrame();
    watchCheck();
}

void presentFrame() {
    const int32_t updates = presentDirty();
    const time_t now = time(nullptr);
    if (now != lastSecond) {
        printf("time: %d, parts: %d, fly: %d, updates: %d, weps: %d, delay: %d-%d\n",
               static_cast<int>(SDL_GetTicks() - frameStart), static_cast<int>(particles.size()),
               static_cast<int>(flies.size()), updates, static_cast<int>(weapons.size()), fireDelay,
               weaponDelay);
        lastSecond = now;
    }
}

int32_t frameLeft(Uint32 start, Uint32 now) {
    // In SDL's 32-bit milliseconds, so the clock's wrap after 49.7 days is no jump.
    return static_cast<int32_t>(std::max<int64_t>(0, 16 - static_cast<int64_t>(now - start)));
}

int32_t frameWait(Uint32 start, Uint32 now, bool fastForward) {
    const Uint32 elapsed = now - start;
    if (elapsed > 14 || fastForward) return -1;
    return frameLeft(start, now);
}

void paceFrame() {
    if (frameWait(frameStart, SDL_GetTicks(), frameInput.held(KeyRightShift)) < 0) return;
    // The wait comes from a second reading of the clock, taken right before the delay.
    SDL_Delay(static_cast<Uint32>(frameLeft(frameStart, SDL_GetTicks())));
}
