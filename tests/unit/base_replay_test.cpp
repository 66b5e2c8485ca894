// The round's own generator against the C library's, and the recording format:
// a recording comes back as written, and a bad one is refused with its reason.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/replay.h"
#include "base/rng.h"

namespace {

TEST(Rng, DrawsWhatGlibcRandDrawsForAnySeed) {
    for (unsigned seed : {0u, 1u, 2u, 1804289383u, 2147483647u, 2147483648u, 4294967295u}) {
        Rng r;
        r.seed(seed), srand(seed);
        int differ = -1;
        for (int i = 0; i < 1000000 && differ < 0; ++i)
            if (r.next() != rand()) differ = i;
        EXPECT_EQ(differ, -1) << "seed " << seed;
    }
}

// A round of n frames over 640 x 480: the pointer wanders both ways, the buttons change.
Replay sample(size_t n) {
    Replay r;
    r.gfxDigest = "0123456789abcdeffedcba9876543210", r.width = 640, r.height = 480, r.seed = 4000000000u;
    r.playedAt = 1796000000, r.flies = 77, r.time = int32_t(n - 2), r.nick = "Kot_9";
    for (size_t i = 0; i < n; ++i) {
        PlayerInput in;
        in.x = int32_t(320 + (i % 97) * 3 - (i % 13) * 20), in.y = int32_t(i % 480), in.buttons = uint8_t(i / 50 % 4);
        r.frames.push_back(in);
    }
    for (size_t j = 0; j < checksumCount(n); ++j) r.checksums.push_back(uint32_t(j * 2654435761u));
    return r;
}

void put(std::string& b, size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = char(v >> (8 * i));
}

TEST(Replay, ComesBackAsWrittenAndEveryBadRecordingIsRefusedWithItsReason) {
    const Replay r = sample(200);
    const std::string good = encodeReplay(r);
    Replay back;
    std::string why;
    ASSERT_TRUE(decodeReplay(good, back, &why)) << why;
    EXPECT_TRUE(back.gfxDigest == r.gfxDigest && back.width == 640 && back.height == 480 && back.seed == r.seed &&
                back.playedAt == r.playedAt && back.flies == 77 && back.time == 198 && back.nick == "Kot_9" &&
                back.frames == r.frames && back.checksums == r.checksums);
    EXPECT_EQ(std::vector<size_t>({checksumCount(64), checksumCount(65), checksumFrame(0, 65), checksumFrame(1, 65)}),
              std::vector<size_t>({1, 2, 63, 64})) << "every 64th frame and the last";
    auto with = [&](auto change) { Replay x = sample(200); change(x); return encodeReplay(x); };
    auto header = [&](size_t at, uint64_t v, int bytes) { std::string b = good; put(b, at, v, bytes); return b; };
    const struct { std::string bytes; const char* reason; } bad[] = {
        {good.substr(0, 62), "truncated"},
        {good.substr(0, good.size() - 1), "truncated"},
        {good + "x", "trailing bytes"},
        {std::string(1 << 20, 'B') + "x", "larger than 1048576 bytes"},
        {std::string(1 << 20, 'B'), "wrong magic"},  // 1 MiB is allowed
        {header(0, 'X', 1), "wrong magic"},
        {header(8, 2, 2), "format version 2"},
        {header(26, 63, 2), "screen size 63x480"},
        {header(28, 16385, 2), "screen size 640x16385"},
        {header(50, 1, 4), "frame count 1"},
        {header(50, 1000000000, 4), "frame count 1000000000"},
        {header(46, 200, 4), "score out of range"},
        {header(54, 200 * 11 + 4 * 4 + 1, 4), "out of range for 200 frames"},  // more than the frames can take
        {header(54, 400, 4), "do not inflate to their 400 bytes"},              // fewer than the stream holds
        {header(good.size() - 3, 0x5a, 1), "do not inflate"},                  // a damaged stream
        {with([](Replay& x) { x.frames[150].x = 640; }), "frame 150: pointer or buttons out of range"},
        {with([](Replay& x) { x.frames[7].y = -1; }), "frame 7: pointer or buttons out of range"},
        {with([](Replay& x) { x.frames[3].buttons = 4; }), "frame 3: pointer or buttons out of range"},
        {with([](Replay& x) { x.nick = "a b"; }), "nick out of range"},
        {with([](Replay& x) { x.nick = std::string(32, 'a'); }), "nick out of range"},
        {with([](Replay& x) { x.checksums.pop_back(); }), "checksums: 12 bytes for 4"},
        {with([](Replay& x) { x.checksums.push_back(1); }), "checksums: 20 bytes for 4"},
    };
    for (const auto& b : bad) {
        why.clear();
        EXPECT_FALSE(decodeReplay(b.bytes, back, &why)) << b.reason;
        EXPECT_NE(why.find(b.reason), std::string::npos) << "'" << why << "' for '" << b.reason << "'";
    }
}

}  // namespace
