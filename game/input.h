// The frame's input record: read once in the frame's head, from SDL or, while
// a recording is watched, its pointer and buttons from the recording. Every
// step after the head reads this, never SDL.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>

#include "base/input.h"

// Keys the game acts on, as FrameInput::keys bits.
enum HeldKey : uint32_t {
    KeyLeftAlt = 1u << 0,    // with F4: quit
    KeyF4 = 1u << 1,
    KeyF2 = 1u << 2,         // a new window, back to the menu
    KeyEscape = 1u << 3,     // back to the menu outside a round
    KeyRightShift = 1u << 4, // frames without waiting
    KeyLeftShift = 1u << 5,  // capitals in the nick
    KeyReturn = 1u << 6,     // send the score
};

struct FrameInput {
    PlayerInput player;         // what a round reads: pointer and buttons
    uint32_t keys = 0;          // HeldKey bits held
    bool keyDown = false;       // the event taken this frame is a key press...
    int32_t key = 0;            // ...of this key (SDLKey)

    bool held(HeldKey k) const { return keys & k; }
};

// ---- This frame's input -------------------------------------------------------
extern FrameInput frameInput;

// SDL's pointer, buttons and held keys, and the event in `event`, into frameInput.
void readInput();
// The pointer alone again from SDL (after a warp moved it).
void readPointer();
