// A recorded round (docs/replay.md): what its rules were (the graphics pack's
// digest, the screen's size, the seed), when it was played and how it ended
// (flies, time, the nick the score went under), its inputs one per frame, and
// a checksum of the world every 64 frames. Encoded compact (delta-coded,
// zlib-compressed); decoded only after every field is checked.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/input.h"

// A checksum of the world after every this many frames, and after the last.
constexpr int32_t kChecksumEvery = 64;
// Bounds a recording is checked against before anything is played.
constexpr size_t kMaxReplayBytes = 1 << 20;      // a recording's file
constexpr int32_t kMaxReplayFrames = 1 << 22;    // 18 hours at 62.5 frames a second
constexpr int32_t kMinReplaySide = 64, kMaxReplaySide = 16384;  // the screen, each side
constexpr uint16_t kReplayVersion = 1;

struct Replay {
    std::string gfxDigest;            // 32 hex digits: the digest of the graphics pack's sheets the rules read
    int32_t width = 0, height = 0;    // the screen, pixels
    uint32_t seed = 0;                // the round's generator's seed
    int64_t playedAt = 0;             // when the round started, seconds since 1970 (UTC)
    int32_t flies = 0, time = 0;      // the score: kills and roundTicks at the round's end
    std::string nick;                 // the nick the score was sent under; empty until it was
    std::vector<PlayerInput> frames;  // frame 0 (the round's start) to the frame that found it lost
    std::vector<uint32_t> checksums;  // worldChecksum after each frame checksumFrame(j) names
};

// How many checksums a round of `frames` frames keeps, and after which frame
// the j-th is taken: every 64th frame (63, 127, ...), and the last one.
size_t checksumCount(size_t frames);
size_t checksumFrame(size_t j, size_t frames);

// The recording's bytes. The replay must be one decodeReplay accepts.
std::string encodeReplay(const Replay& r);
// Reads a recording; false with the reason (one line, plain words) for
// anything out of bounds: too short or too long, another magic or version,
// a compressed part that does not inflate to its stated size, a frame count,
// screen size, pointer, button, nick, score or checksum count out of range.
bool decodeReplay(const std::string& bytes, Replay& out, std::string* reason);
// The frame count a recording's header states, nothing else checked; -1
// without a whole header of this format. Lets a reader refuse a round too
// long for it before inflating its frames.
int64_t replayFrameCount(const std::string& bytes);
