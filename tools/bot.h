// A player for tests: plays a round with the game's rules and no screen,
// fleeing flies that come near, blasting, picking up crates and firing every
// weapon it gets from the ring, and returns the round as the game records it.
#pragma once
#include <cstdint>
#include <string>

#include "base/replay.h"

class PackSheets;

struct BotOptions {
    uint32_t seed = 1;            // the round's generator's seed
    int32_t width = 1024, height = 768;
    int32_t surviveFrames = 3000;  // it defends itself this long, then lets the flies come
    int32_t maxStep = 7;           // pixels the pointer moves per frame on each axis at most
    int32_t hoardKills = 0;        // above 0: from this many kills on it only evades, and the swarm grows
};

// Plays one round to its end; the recording has the nick "bot" and the time 0.
Replay playBot(const PackSheets& pack, const BotOptions& o);
// The most flies the last round had in its list at once.
int32_t botPeakFlies();
// The weapon kinds the last round fired, as their digits ("0135").
std::string botFiredKinds();
