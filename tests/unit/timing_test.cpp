// The drawing budget in "upds" (sizes, zero, negative, huge), the debug line
// of the frame end, and the pacing rule.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "game/arsenal.h"
#include "game/frame.h"
#include "media/budget.h"
#include "media/dirty.h"
#include "testutil.h"
#include "world/objects.h"
#include "world/particle.h"
#include "worldfix.h"

using testutil::CaptureStdout;
using testutil::readFile;

namespace {

int g_measureCalls = 0;
int32_t countingMeasure() { return ++g_measureCalls; }  // 1..20: average 10

std::string le32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    return {char(u & 0xff), char(u >> 8 & 0xff), char(u >> 16 & 0xff), char(u >> 24 & 0xff)};
}

TEST(BudgetTest, StoredValueOrMeasuredAndRewritten) {
    struct Row {
        std::optional<std::string> file;
        int32_t budget;  // 10: measured 20 times and rewritten as 4 bytes
    } rows[] = {
        {le32(250), 250},
        {le32(77) + le32(99999), 77},  // first 4 bytes; the file is left alone
        {le32(kMaxStoredBudget), kMaxStoredBudget},
        {std::nullopt, 10},
        {"", 10},
        {std::string("\x20\x01\x00", 3), 10},
        {le32(0), 10},
        {le32(-1), 10},
        {le32(INT_MIN), 10},
        {le32(kMaxStoredBudget + 1), 10},
        {le32(INT_MAX), 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.file));
        const std::string path = testutil::tempDir("upds") + "/upds";
        if (r.file) testutil::writeFile(path, *r.file);
        g_measureCalls = 0;
        maxUpdates = 1000;
        CaptureStdout cap;
        getMaxUpdatesFrom(path.c_str(), countingMeasure);
        EXPECT_EQ(cap.stop(), "");
        EXPECT_EQ(maxUpdates, r.budget);
        EXPECT_EQ(g_measureCalls, r.budget == 10 ? 20 : 0);
        EXPECT_EQ(readFile(path), r.budget == 10 ? le32(10) : *r.file);
    }
}

TEST(BudgetTest, UnwritableLocationStillUsesTheMeasurement) {
    const std::string path = testutil::tempDir("upds") + "/no/such/dir/upds";
    g_measureCalls = 0;
    CaptureStdout cap;
    getMaxUpdatesFrom(path.c_str(), countingMeasure);
    EXPECT_EQ(cap.stop(), "FAIL: getMaxUpdates: Nie udalo sie otworzyc pliku do zapisu\n");
    EXPECT_EQ(maxUpdates, 10);
}

TEST(BenchmarkTest, NeedsAScreenAndFillsAboutSixteenMilliseconds) {
    worldfix::openScreen();
    SDL_Surface* saved = screen;
    screen = nullptr;
    CaptureStdout cap;
    EXPECT_EQ(benchmark(), 0);
    EXPECT_EQ(cap.stop(), "FAIL: benchmark: NULL screen\n");
    screen = saved;
    const Uint32 start = SDL_GetTicks();
    EXPECT_GT(benchmark(), 0);
    const Uint32 took = SDL_GetTicks() - start;
    EXPECT_GE(took, 15u);
    EXPECT_LE(took, 200u);
}

TEST(PacingTest, WaitsOutSixteenMilliseconds) {
    EXPECT_EQ(frameWait(1000, 1000, false), 16);
    EXPECT_EQ(frameWait(1000, 1014, false), 2);   // 14 ms still waits
    EXPECT_EQ(frameWait(1000, 1015, false), -1);  // 15 ms does not
    EXPECT_EQ(frameWait(1000, 1003, true), -1);   // right Shift: as fast as possible
    EXPECT_EQ(frameWait(0xfffffffau, 4u, false), 6) << "across the wrap of SDL's clock";
}

TEST(FrameEndTest, DebugLineWithListSizes) {
    worldfix::openScreen();
    clearObjects();
    Sprite* dot = worldfix::plainSprite(1);
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(addParticle(Particle(dot, 50, 50, gravity, drag, 0.0f, 0.0f, 10)));
    fireDelay = 5;
    weaponDelay = 9;
    worldfix::resetDirty();
    for (int i = 0; i < 7; ++i) markDirty(i, i, 2, 2);
    fullUpdate = true;
    lastSecond = 0;

    CaptureStdout cap;
    presentFrame();
    const std::string line = cap.stop();
    EXPECT_EQ(dirtyCount, 0);
    EXPECT_FALSE(fullUpdate);
    ASSERT_EQ(line.rfind("time: ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.find(',')), ", parts: 2, fly: 0, updates: 7, weps: 0, delay: 5-9\n");
}

}  // namespace
