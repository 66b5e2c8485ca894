// What a round reads of the player in one frame: the pointer and the two
// buttons. A recording is a round's seed and one of these per frame.
#pragma once
#include <cstdint>

// PlayerInput::buttons bits.
constexpr uint8_t kLeftButton = 1;   // fires, presses ring icons and menu buttons
constexpr uint8_t kRightButton = 2;  // opens the weapon ring

struct PlayerInput {
    int32_t x = 0, y = 0;  // pointer, screen pixels
    uint8_t buttons = 0;   // kLeftButton | kRightButton held

    bool left() const { return buttons & kLeftButton; }
    bool right() const { return buttons & kRightButton; }
    bool operator==(const PlayerInput& o) const { return x == o.x && y == o.y && buttons == o.buttons; }
};
