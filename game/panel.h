// The score panel the round-end and score screens share: its text and the
// message a frame puts on it.
#pragma once
#include <string>

#include "media/text.h"

// ---- Score panel ----------------------------------------------------------------
extern std::string scoreMessage;  // the panel's message of this frame; empty: keep the text
extern Text panelText;            // "font_00a.bmp", a third down the screen, centred

// Shows scoreMessage (when set) or the previous panel text on "hiscores.bmp".
void drawScorePanel();
