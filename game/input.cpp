#include "game/input.h"

#include "media/events.h"

FrameInput frameInput;

void readPointer() {
    const Uint8 buttons = SDL_GetMouseState(&frameInput.player.x, &frameInput.player.y);
    frameInput.player.buttons = static_cast<uint8_t>(((buttons & SDL_BUTTON(1)) ? kLeftButton : 0) |
                                                     ((buttons & SDL_BUTTON(3)) ? kRightButton : 0));
}

void readInput() {
    readPointer();
    const struct { SDLKey sym; HeldKey bit; } table[] = {
        {SDLK_LALT, KeyLeftAlt},       {SDLK_F4, KeyF4},           {SDLK_F2, KeyF2},        {SDLK_ESCAPE, KeyEscape},
        {SDLK_RSHIFT, KeyRightShift}, {SDLK_LSHIFT, KeyLeftShift}, {SDLK_RETURN, KeyReturn}};
    frameInput.keys = 0;
    for (const auto& k : table)
        if (keys[k.sym]) frameInput.keys |= k.bit;
    frameInput.keyDown = event.type == SDL_KEYDOWN;
    frameInput.key = frameInput.keyDown ? event.key.keysym.sym : 0;
}
