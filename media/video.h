// The window: video and audio opened together, the screen surface and the icon.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>

// ---- Video state (from init to shutdown) ------------------------------------
extern SDL_Surface* screen;  // the video surface; null before init and after a failed one
extern SDL_Surface* icon;    // window icon from the graphics pack; null without one
extern bool videoReady;      // init has run once: later calls re-create the window

// Opens video and audio (the mixer's format, un-paused), sets the mode w x h
// (0 x 0: the desktop's size) at 32 bits with `flags`, the caption, the icon,
// hides the pointer and clears the screen for a full update. Called again it
// re-creates both. False with a log line.
bool init(Uint32 flags, int32_t w = 0, int32_t h = 0);
// Releases the icon, closes audio and quits SDL.
void closeVideo();

// Size of the screen surface; 0 without one.
int32_t screenW();
int32_t screenH();
