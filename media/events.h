// Events and held keys: the one event a frame takes, SDL's key table, and
// whether the program goes on.
#pragma once
#include <SDL/SDL.h>

// ---- Event state ------------------------------------------------------------
// The program goes on while true. A quit (window closed, left Alt + F4, the
// menu's quit) clears it; objects destroyed from then on leave the screen alone.
extern bool running;
extern SDL_Event event;  // last event taken; kept in frames with an empty queue
extern Uint8* keys;      // SDL's held-key table, by key code

// Takes at most one event into `event`: a window close clears `running`, an
// expose asks for a full update.
void pollEvent();
