// The online score table screen.
#pragma once
#include <cstdint>

class Hiscore;

enum ScoresState : int32_t {
    ScoresKeyDown = -2,
    ScoresIdle = -1,
    ScoresStart = 0,
    ScoresDownload = 1,
    ScoresDownloaded = 2,
    ScoresFailed = 3,
    ScoresLoad = 4,
    ScoresByFlies = 5,
    ScoresByTime = 6,
};

// ---- Score screen ---------------------------------------------------------------
extern int32_t staleKey;  // key whose press was still in `event` when the screen began; -1 none (SDLK_UNKNOWN is 0)

void scoresFrame();  // StateScores' block

// Sorts the table for the view and returns its text: the heading "Muchy:\n"
// or "Czas:\n", then up to `limit` lines "%02d.\t %s\t %d\n" (place, nick,
// flies or time / 62). malloc'd, caller frees; null when it cannot be allocated.
char* tableText(Hiscore& table, bool byFlies);
