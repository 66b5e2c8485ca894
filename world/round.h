// The round's rules: its counters, a new round, the play block (clock and
// spawning), the world pass over the four object lists with the rules that
// belong to the game rather than to the objects (stings, bumps, dead flies,
// the particles' life, pick-ups), and the pointer with its trail and look.
#pragma once
#include <cstdint>

#include "base/sheet.h"

class Mucha;

// Stings a player takes at most: the health a round starts with.
constexpr int32_t kFullHealth = 6;

// ---- Round counters ---------------------------------------------------------
// (The flies beaten, `kills`, are counted where flies die: world/mucha.h.)
extern int32_t health;      // kFullHealth at the start of a round; the round ends below 1
extern int32_t roundTicks;  // play frames this round
extern Sheet* flySheet;     // "mucha01.bmp", set by whoever runs the rules

// ---- The pointer ------------------------------------------------------------------
extern int32_t mouseX, mouseY;   // this frame's pointer, from its input
extern int32_t cursorAnim;       // cursor look from health, set at the end of each frame
extern Sheet* cursorSheet;       // "kursor.bmp": its looks are the cursor's boxes
extern int32_t halfCursorAnims;  // half the cursor sheet's animation count

// A fresh round: empty stock and lists, counters back, the pointer at (px, py).
void newRound(int32_t px, int32_t py);
// Frames between spawns: 60 - kills / 5, at least 10.
int32_t spawnInterval(int32_t killCount);
// One fly entering from a random edge (roll order: edge, then the coordinates, then the heading).
void spawnFly();
// The play block: the round's clock and spawning. True when it finds the
// round lost (health below 1): the clock stands still then, and the caller
// ends the round.
bool playBlock();
// Whether the cursor box (look cursorAnim at mouseX, mouseY) overlaps the fly's box.
bool cursorTouchesFly(const Mucha& fly);
// The world pass's rules: weapons, flies, particles, pick-ups. Every object
// the pass animates is `shown`: the drawing step draws exactly those.
void worldRules();
// The world pass's first walk: finished weapons removed, the others moved;
// weapons appended meanwhile are moved in the same walk.
void weaponsWalk();

// The frame's pointer: marks the cursor's old box, takes (x, y) and, when it
// moved, leaves a trail.
void pointerStep(int32_t x, int32_t y);
// The mouse moved from (ox, oy) to (nx, ny): mark the new area and send one
// cursor image (look cursorAnim) flying on from the old position.
void leaveTrail(int32_t ox, int32_t oy, int32_t nx, int32_t ny);
// The cursor's look for health hp: 2 * (half - hp), at most count - 2.
int32_t cursorLook(int32_t hp, int32_t half, int32_t count);
// The end of a frame's rules: cursorAnim from health, for the next frame.
void lookStep();
