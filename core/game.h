// The main loop: start-up, one frame at a time in the current state, shutdown.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>
#include <ctime>
#include <curl/curl.h>

#include "media/text.h"
#include "scores/hiscore.h"
#include "world/object.h"

struct Sprite;

enum GameState : int32_t {
    StateMenu = 0,
    StatePlay = 1,
    StateScores = 2,
    StateRoundEnd = 3,
};

// ---- Main-loop state (lives from start-up to shutdown) --------------------
extern bool running;              // the loop goes on while true; destructors read it too
extern int32_t gameState;         // a GameState; any other value becomes StateMenu
extern int32_t subState;          // sub-state of StateScores and StateRoundEnd
extern SDL_Surface* screen;       // the video surface
extern SDL_Surface* icon;         // window icon
extern bool videoReady;           // init has run once
extern SDL_AudioSpec audioSpec;   // 22050 Hz, S16LSB, stereo, 1024 samples
extern SDL_Event event;           // last event taken; kept in frames with an empty queue
extern uint32_t frameStart;       // SDL_GetTicks() at the start of this frame
extern Uint8* keys;               // SDL's held-key table, by key code
extern CURL* curl;                // the one HTTP handle of the run
extern char scoreMessage[128];    // the panel's message of this frame; also the post body
extern time_t lastSecond;         // calendar second of the last debug-line check
extern Text hudText;              // "font_00.bmp": the ring's HUD line
extern Text panelText;            // "font_00a.bmp": the score panel
extern Hiscore hiscores;          // the downloaded score table
extern const Vec2 gravity;        // (0, 0.04)
extern const Vec2 drag;           // (0.01, 0.01)
extern const Vec2 lift;           // (-0, -0.04)
extern Sprite* cursorSprite;      // "kursor.bmp"
extern Sprite* flySprite;         // "mucha01.bmp"
extern Sprite* weaponIcons[6];    // by WeaponKind
extern int32_t halfCursorAnims;   // half the cursor sprite's animation count

// The one output format of the mixer: 22050 Hz, S16LSB, stereo, 1024-sample
// buffers, audioCallback, into `audioSpec`.
void fillAudioSpec();
// Opens (or re-opens) video and audio full screen with `flags`; false with a log line.
bool init(Uint32 flags);
// Start-up, the loop and shutdown; returns the process exit code.
int gameMain();

// Steps of one frame, in order (the scene runner calls them one by one).
void frameHead();      // poll one event, global keys
void clearScreen();    // whole screen to black
void dispatchState();  // the current state's block (and firing in StatePlay)
void runFrame();       // one whole frame, pacing included
// After the loop: releases objects, sprites, scores, rectangles, icon and SDL;
// logs "INFO: Stop".
void shutdownGame();
