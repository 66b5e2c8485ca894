// The program's own cursor: the pointer into the rules, drawn last.
#include "game/cursor.h"

#include "game/input.h"
#include "media/sprite.h"
#include "world/round.h"

Sprite* cursorSprite = nullptr;

void cursorHead() { pointerStep(frameInput.player.x, frameInput.player.y); }

void cursorDraw() {
    lookStep();
    Sprite::print(cursorSprite, static_cast<uint32_t>(cursorAnim), 0, mouseX, mouseY);
}
