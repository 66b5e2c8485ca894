// Playing a recording again: a round recorded from the rules matches itself,
// and a change anywhere is found at the first checksum after it, or at the end.
#include <gtest/gtest.h>

#include <cmath>

#include "base/replay.h"
#include "base/sheet.h"
#include "world/roundplay.h"

namespace {

TEST(ReplayCheck, MatchesItsOwnRoundAndNamesTheFirstFrameThatDiffers) {
    PackSheets pack;
    std::string why;
    ASSERT_TRUE(pack.load(TEST_BUILD_DIR "/run/data/gfx.pkf", &why)) << why;
    // The pointer circles the middle with the left button held: blasts, stings, to the end.
    const Replay r = recordRound(pack, 7, 640, 480, [](int32_t f) {
        PlayerInput in;
        in.x = 320 + int32_t(120 * std::cos(f / 40.0)), in.y = 240 + int32_t(90 * std::sin(f / 40.0));
        in.buttons = f % 300 < 200 ? kLeftButton : kRightButton;
        return in;
    }, 1 << 20);
    const size_t n = r.frames.size();
    ASSERT_TRUE(n > 300 && r.flies > 0 && r.time == int32_t(n) - 2 && r.checksums.size() == checksumCount(n)) << n;
    ReplayCheck c = checkReplay(r, pack);
    EXPECT_TRUE(c.match && c.frames == int32_t(n) && c.flies == r.flies && c.time == r.time) << c.difference;
    const struct { void (*change)(Replay&); std::string difference; } changed[] = {
        {[](Replay& x) { x.frames[100].x += 1; }, "frame 127: checksum "},
        {[](Replay& x) { x.seed += 1; }, "frame 63: checksum "},
        {[](Replay& x) { x.flies += 1; }, "frame " + std::to_string(n - 1) + ": score " + std::to_string(r.flies) + " flies"},
        {[](Replay& x) { x.frames.push_back(x.frames.back()); }, "frame " + std::to_string(n - 1) + ": the round ends here"},
        {[](Replay& x) { x.frames.pop_back(), x.checksums.resize(checksumCount(x.frames.size())); }, "frame "},
    };
    for (const auto& ch : changed) {
        Replay x = r;
        ch.change(x);
        c = checkReplay(x, pack);
        EXPECT_TRUE(!c.match && c.difference.compare(0, ch.difference.size(), ch.difference) == 0) << c.difference;
    }
}

}  // namespace
