#include "game/panel.h"

#include "media/dirty.h"
#include "media/sprite.h"

std::string scoreMessage;
Text panelText;

void drawScorePanel() {
    if (!scoreMessage.empty()) panelText.setText(scoreMessage.c_str());
    Sprite::print(findSprite("hiscores.bmp"), 0, 0, panelText.left - 5, panelText.top - 5);
    panelText.draw();
    markDirty(panelText.left - 5, panelText.top - 5, 522, 266);
}
