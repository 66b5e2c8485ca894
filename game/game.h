// The game as a whole: the state machine, start-up and shutdown.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>
#include <string>

// The screen whose block the frame runs.
enum GameState : int32_t {
    StateMenu = 0,      // the main menu (game/menu)
    StatePlay = 1,      // a round (game/round), then the firing rule (game/arsenal)
    StateScores = 2,    // the online score table (game/scorescreen)
    StateRoundEnd = 3,  // nick entry and the score post (game/roundend)
};

// ---- State machine ------------------------------------------------------------
extern GameState gameState;  // any value outside GameState becomes StateMenu
extern std::string gfxDigest;  // rulesDigest of the loaded graphics pack: what a recording names

// The current state's block; each state's block lives in its own module.
void dispatchState();

// How start-up opens the machine. The game takes the defaults; the scene runner
// asks for a window of its own size and leaves the game's "upds" alone.
struct StartOptions {
    Uint32 videoFlags = SDL_FULLSCREEN;
    int32_t width = 0, height = 0;    // 0 x 0: the desktop's size
    std::string budgetFile = "upds";  // where the drawing budget is kept
    int32_t budget = 0;               // above 0: this budget, the file untouched
};

// Start-up after the log is set up: video and audio, the sprites, the texts,
// the score table, the HTTP handle, the pointer, the drawing budget and the
// dirty rectangles, then gameState StateMenu. Returns 0, or the exit code of
// the failure: 100 video or audio, 101 a missing cursor, fly or icon sprite,
// 102 no room for the rectangles, 200 no HTTP handle.
int startGame(const StartOptions& options = StartOptions());
// After the loop: releases objects, sprites, scores, rectangles, icon and SDL;
// logs "INFO: Stop".
void shutdownGame();
// The world's playfield takes the screen's size (after every new window).
void fitField();
// What every run of the program does first: "log.txt" opened, the score
// server chosen (--server's value, or ""), the language, the seed.
void openRun(const std::string& serverOption);
// openRun, start-up, the loop and shutdown; returns the process exit code.
int gameMain(const std::string& serverOption = "");
// Says on standard error, in plain words, why the game ends with `exitCode`
// (100, 101, 102, 200, 202): a start from the desktop's menu shows it.
void tellFatal(int exitCode);
// Ends the process from inside a frame with `exitCode`. The mixer's thread is
// stopped first: static destructors free the sounds it plays.
[[noreturn]] void abortGame(int exitCode);
