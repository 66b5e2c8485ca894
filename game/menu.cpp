// The main menu: three buttons that act when the left button is released.
#include "game/menu.h"

#include <SDL/SDL.h>

#include "game/cursor.h"
#include "game/game.h"
#include "game/input.h"
#include "game/lang.h"
#include "game/round.h"
#include "game/scorescreen.h"
#include "media/dirty.h"
#include "media/events.h"
#include "media/sprite.h"
#include "media/video.h"

int32_t menuChoice = -1;

int32_t menuHit(int32_t x, int32_t y, int32_t hw, int32_t hh) {
    if (y < hh - 95 || y >= hh) return -1;
    if (x >= hw - 79 && x < hw - 48) return 0;
    if (x >= hw - 15 && x <= hw + 15) return 1;
    if (x > hw + 48 && x <= hw + 79) return 2;
    return -1;
}

void menuInput(bool leftHeld, int32_t x, int32_t y) {
    if (leftHeld) {
        menuChoice = menuHit(x, y, screen->w / 2, screen->h / 2);
        return;
    }
    // Released: act on where the button was last held.
    switch (menuChoice) {
    case 0:
        startRound();
        break;
    case 1:
        menuChoice = -1;
        fullUpdate = true;
        startScores();
        break;
    case 2:
        running = false;
        break;
    default:
        break;
    }
}

void menuFrame() {
    menuInput(frameInput.player.left(), mouseX, mouseY);
    if (gameState != StateMenu) return;
    int32_t hw = screen->w / 2, hh = screen->h / 2;
    // The buttons' labels are drawn in the pack, a set per language.
    const std::string lang = english() ? "_en" : "";
    Sprite::print(findSprite("menu_start" + lang + ".bmp"), 0, menuChoice == 0 ? 1 : 0, hw - 64, hh);
    Sprite::print(findSprite("menu_wyniki" + lang + ".bmp"), 0, menuChoice == 1 ? 1 : 0, hw, hh);
    Sprite::print(findSprite("menu_koniec" + lang + ".bmp"), 0, menuChoice == 2 ? 1 : 0, hw + 64, hh);
    markDirty(hw - 80, hh - 96, 160, 96);
}
