#include "game/arsenal.h"

#include <cstdio>

#include "game/game.h"
#include "game/input.h"
#include "media/sprite.h"
#include "world/mucha.h"
#include "world/round.h"

Sprite* weaponIcons[kWeaponKinds] = {};
Text hudText;

void firingRule() {
    if (gameState != StatePlay) return;
    fireStep(frameInput.player.left());
}

void drawRing() {
    if (!ringOpen) return;
    for (int32_t i = 0; i < kWeaponKinds; ++i) {
        int32_t ix, iy;
        ringIconAt(i, ringX, ringY, ix, iy);
        if (weaponIcons[i]) Sprite::print(weaponIcons[i], ringLooks[i], 0, ix, iy);
    }
    char line[64];
    std::snprintf(line, sizeof line, "%03d    %03d", kills, roundTicks / 62);
    hudText.left = ringX - 48;
    hudText.top = ringY + 68;
    hudText.setText(line);
    hudText.draw();
}

void weaponRing() {
    ringStep(frameInput.player.right(), frameInput.player.left());
    drawRing();
}
