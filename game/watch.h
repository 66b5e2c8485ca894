// Watching a recording in the game window: the recorded round frame for frame
// with the game's own frame, its pointer and buttons taken from the recording.
#pragma once
#include <string>

#include "base/replay.h"

// Whether this run watches a recording.
bool watching();
// The run of "bzykolot2 --watch FILE" (or a URL, fetched from a score
// server with the table's limits): the recording read, the window opened
// at its size, the round played as recorded, its score shown; 0 when it ends
// or Escape ends it, 2 (and a line on standard error) for a recording that
// cannot be read or was made with other game data, or start-up's exit code.
int watchMain(const std::string& file, const std::string& serverOption = "");
// Starts watching `r`: the next frames play it (for watchMain and the tests).
void watchReplay(const Replay& r);
// The watch is over: frames take the player's input again.
void endWatch();

// The frame's head while watching: Escape or F2 end the watch; the pointer and
// buttons of the next recorded frame go into frameInput.
void watchHead();
// The menu's place in the watch's first frame: the recorded round starts.
void startWatchedRound();
// After the round's last frame: its score on the panel for two seconds, then the end.
void watchEndFrame();
// At the end of each frame's rules: the world's checksum against the recording's.
void watchCheck();
