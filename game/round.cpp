// The round as the game runs it: reset, start, the play block and the world pass.
#include "game/round.h"

#include <SDL/SDL.h>
#include <cstdlib>

#include "base/rng.h"
#include "game/game.h"
#include "game/input.h"
#include "game/menu.h"
#include "game/recorder.h"
#include "game/render.h"
#include "game/roundend.h"
#include "media/dirty.h"
#include "media/video.h"

Sprite* flySprite = nullptr;

void resetRound() {
    discardRecording();
    gameState = StateMenu;
    menuChoice = -1;
    SDL_WarpMouse(static_cast<Uint16>(screen->w / 2), static_cast<Uint16>(screen->h / 2));
    int32_t x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    newRound(x, y);
}

void startRound() {
    resetRound();
    fullUpdate = true;
    gameState = StatePlay;
    const uint32_t seed = static_cast<uint32_t>(rand());
    roundRng.seed(seed);
    beginRecording(seed);
}

void playFrame() {
    if (playBlock()) {
        startRoundEnd();
        roundLost();
    }
}

void worldPass() {
    worldRules();
    drawWorld();
}
