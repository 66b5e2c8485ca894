// The online score table screen.
#pragma once
#include <cstdint>

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

void scoresFrame();  // StateScores' block
