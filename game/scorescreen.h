// The online score table screen.
#pragma once
#include <cstdint>
#include <string>

#include "base/hiscore.h"

// The score screen's sub-states.
enum ScoresState : int32_t {
    ScoresKeyDown = -2,     // a key is down; the view toggles on its release
    ScoresIdle = -1,        // the table is shown
    ScoresStart = 0,        // "Pobieranie wynikow..." for one frame
    ScoresDownload = 1,     // the download, blocking this frame
    ScoresDownloaded = 2,   // "Pobrano."
    ScoresFailed = 3,       // "Nie udalo sie pobrac wynikow." until Escape
    ScoresLoad = 4,         // "dl.txt" into the table
    ScoresByFlies = 5,      // show the table sorted by flies
    ScoresByTime = 6,       // show the table sorted by time
};

// ---- Score screen ---------------------------------------------------------------
extern ScoresState scoresState;  // from ScoresStart each time the screen begins
extern int32_t staleKey;  // key whose press was still in `event` when the screen began; -1 none (SDLK_UNKNOWN is 0)
extern Hiscore hiscores;  // the downloaded score table

void scoresFrame();  // StateScores' block
// StateScores from ScoresStart: the table is downloaded afresh.
void startScores();

// Sorts the table for the view and returns its text: the heading "Muchy:\n"
// or "Czas:\n", then up to `limit` lines "%02d.\t %s\t %d\n" (place, nick,
// flies or time / 62). Throws std::bad_alloc.
std::string tableText(Hiscore& table, bool byFlies);
