#include "media/events.h"

#include "media/dirty.h"

bool running = true;
SDL_Event event;
// SDL keeps the table in static storage, so it can be taken before SDL starts.
Uint8* keys = SDL_GetKeyState(nullptr);

void pollEvent() {
    if (!SDL_PollEvent(&event)) return;
    if (event.type == SDL_QUIT) running = false;
    if (event.type == SDL_VIDEOEXPOSE) fullUpdate = true;
}
