// The round: its counters, reset, the play block (clock, spawning) and the
// world pass over the four object lists.
#pragma once
#include <cstdint>

class Mucha;
struct Sprite;

// Stings a player takes at most: the health a round starts with.
constexpr int32_t kFullHealth = 6;

// ---- Round counters ---------------------------------------------------------
// (The flies beaten, `kills`, are counted where flies die: world/mucha.h.)
extern int32_t health;      // kFullHealth at the start of a round; the round ends below 1
extern int32_t roundTicks;  // play frames this round
extern Sprite* flySprite;   // "mucha01.bmp", from start-up

// A fresh round, in the menu: empty stock and lists, counters back, the
// pointer at the centre.
void resetRound();
// What the menu's start does: resetRound, then StatePlay with a full redraw.
void startRound();
// Frames between spawns: 60 - kills / 5, at least 10.
int32_t spawnInterval(int32_t killCount);
// One fly entering from a random edge (rand() order: edge, then the coordinates, then the heading).
void spawnFly();
// Whether the cursor box (look cursorAnim at mouseX, mouseY) overlaps the fly's box.
bool cursorTouchesFly(const Mucha& fly);
void playFrame();   // StatePlay's block
void worldPass();   // weapons, flies, particles, drops
// The world pass's first walk: finished weapons removed, the others moved;
// weapons appended meanwhile are moved in the same walk.
void weaponsWalk();
