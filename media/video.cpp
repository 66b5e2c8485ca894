// Video and audio set-up: the window is re-created whole (F2) by quitting SDL
// and starting it again.
#include "media/video.h"

#include <cstdio>

#include "base/resfile.h"
#include "media/blit.h"
#include "media/dirty.h"
#include "media/sound.h"

SDL_Surface* screen = nullptr;
SDL_Surface* icon = nullptr;
bool videoReady = false;

int32_t screenW() { return screen ? screen->w : 0; }
int32_t screenH() { return screen ? screen->h : 0; }

// The window icon from the graphics pack, magenta transparent.
static void loadIcon() {
    if (icon) {
        SDL_FreeSurface(icon);
        icon = nullptr;
    }
    Resfile pack;
    auto bytes = pack.load("data/gfx.pkf", "ikona.bmp", -1);
    if (bytes) icon = SDL_LoadBMP_RW(SDL_RWFromMem(bytes->data(), static_cast<int>(bytes->size())), 1);
    if (icon) {
        SDL_SetColorKey(icon, SDL_SRCCOLORKEY, SDL_MapRGB(screen->format, 255, 0, 255));
        SDL_WM_SetIcon(icon, nullptr);
    }
}

bool init(Uint32 flags, int32_t w, int32_t h) {
    if (!videoReady) {
        videoReady = true;
        if (SDL_Init(SDL_INIT_VIDEO) < 0) {
            printf("FAIL: init: Nie udalo sie zainicjowac sdl'a\n");
            return false;
        }
        SDL_WM_SetCaption("Bzykolot 2", nullptr);
        // Without a sound device the game plays in silence: the slots fill and
        // nothing mixes them.
        if (SDL_OpenAudio(&audioSpec, nullptr) < 0)
            printf("FAIL: init: Nie udalo sie zainicjowac dzwieku (%s), gra bez dzwieku\n", SDL_GetError());
    } else {
        SDL_FreeSurface(screen);
        screen = nullptr;
        SDL_Quit();
        SDL_Delay(50);
        SDL_Init(SDL_INIT_VIDEO);
        SDL_OpenAudio(&audioSpec, nullptr);
    }
    SDL_PauseAudio(0);
    screen = SDL_SetVideoMode(w, h, 32, flags);
    if (!screen) {
        printf("FAIL: init: Nie udalo sie ustawic trybu video\n");
        return false;
    }
    printf("OK  : init: Okno zrobione (%dx%dpx)\n", screen->w, screen->h);
    SDL_WM_SetCaption("Bzykolot 2", nullptr);
    loadIcon();
    SDL_ShowCursor(0);
    clearBlack(screen, nullptr);
    fullUpdate = true;
    screenBlack = true;
    return true;
}

void closeVideo() {
    if (icon) SDL_FreeSurface(icon);
    icon = nullptr;
    SDL_CloseAudio();
    SDL_Quit();
}
