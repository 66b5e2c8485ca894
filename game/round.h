// The round as the game runs it: a new round from the menu or F2, the play
// block, and the world pass with its drawing. The rules themselves are
// world/round's.
#pragma once
#include <cstdint>

#include "world/round.h"

struct Sprite;

extern Sprite* flySprite;  // "mucha01.bmp", from start-up

// A fresh round, in the menu: empty stock and lists, counters back, the
// pointer warped to the centre. Any round being recorded is dropped.
void resetRound();
// What the menu's start does: resetRound, the round's generator seeded with
// one draw of rand(), then StatePlay with a full redraw; the recording begins.
void startRound();
void playFrame();  // StatePlay's block: the play block, and the round's end when it finds it lost
void worldPass();  // the world pass's rules, then its objects drawn
