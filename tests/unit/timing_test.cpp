// The drawing budget in "upds" (sizes, zero, negative, huge), the debug line
// of the frame end, and the pacing rule.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>

#include "core/arsenal.h"
#include "core/game.h"
#include "core/timing.h"
#include "testutil.h"
#include "world/dirty.h"
#include "world/objects.h"
#include "world/particle.h"
#include "worldfix.h"

using testutil::CaptureStdout;
using testutil::readFile;
using testutil::writeFile;

namespace {

int g_measureCalls = 0;
int32_t countingMeasure() { return ++g_measureCalls; }  // 1..20: sum 210, average 10

std::string le32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    return std::string{static_cast<char>(u & 0xff), static_cast<char>((u >> 8) & 0xff),
                       static_cast<char>((u >> 16) & 0xff), static_cast<char>((u >> 24) & 0xff)};
}

class BudgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testutil::tempDir("upds");
        path = dir + "/upds";
        g_measureCalls = 0;
        maxUpdates = 1000;
    }
    // Runs getMaxUpdates over the file and returns the log.
    std::string run() {
        CaptureStdout cap;
        getMaxUpdatesFrom(path.c_str(), countingMeasure);
        return cap.stop();
    }
    void expectMeasuredAndRewritten() {
        EXPECT_EQ(g_measureCalls, 20);
        EXPECT_EQ(maxUpdates, 10);
        EXPECT_EQ(readFile(path), le32(10)) << "rewritten with exactly 4 bytes";
    }
    std::string dir, path;
};

TEST_F(BudgetTest, StoredValueIsUsedWithoutMeasuring) {
    writeFile(path, le32(250));
    EXPECT_EQ(run(), "");
    EXPECT_EQ(maxUpdates, 250);
    EXPECT_EQ(g_measureCalls, 0);
    EXPECT_EQ(readFile(path), le32(250));
}

TEST_F(BudgetTest, LongerFileIsReadForItsFirstFourBytes) {
    writeFile(path, le32(77) + le32(99999));
    run();
    EXPECT_EQ(maxUpdates, 77);
    EXPECT_EQ(g_measureCalls, 0);
    EXPECT_EQ(readFile(path).size(), 8u) << "a used file is left alone";
}

TEST_F(BudgetTest, MissingEmptyOrShortFileIsMeasuredAndWritten) {
    run();  // no file at all
    expectMeasuredAndRewritten();

    for (const std::string& content : {std::string(), std::string("\x20\x01\x00", 3)}) {
        SetUp();
        writeFile(path, content);
        run();
        expectMeasuredAndRewritten();
    }
}

TEST_F(BudgetTest, ZeroNegativeAndHugeValuesAreMeasuredAgain) {
    for (int32_t bad : {0, -1, INT_MIN, 1000001, INT_MAX}) {
        SetUp();
        writeFile(path, le32(bad));
        run();
        SCOPED_TRACE(bad);
        expectMeasuredAndRewritten();
    }
    // The largest plausible budget is still taken as stored.
    SetUp();
    writeFile(path, le32(kMaxStoredBudget));
    run();
    EXPECT_EQ(maxUpdates, kMaxStoredBudget);
    EXPECT_EQ(g_measureCalls, 0);
}

TEST_F(BudgetTest, UnwritableLocationStillUsesTheMeasurement) {
    path = dir + "/no/such/dir/upds";
    EXPECT_EQ(run(), "FAIL: getMaxUpdates: Nie udalo sie otworzyc pliku do zapisu\n");
    EXPECT_EQ(maxUpdates, 10);
}

TEST(BenchmarkTest, NeedsAScreen) {
    SDL_Surface* saved = screen;
    screen = nullptr;
    CaptureStdout cap;
    EXPECT_EQ(benchmark(), 0);
    EXPECT_EQ(cap.stop(), "FAIL: benchmark: NULL screen\n");
    screen = saved;
}

TEST(BenchmarkTest, CountsPresentationsOnTheDummyScreen) {
    worldfix::openScreen();
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
    EXPECT_EQ(frameWait(1000, 1040, false), -1);
    EXPECT_EQ(frameWait(1000, 1003, true), -1);   // right Shift: as fast as possible
    // Across the wrap of SDL's 32-bit clock.
    EXPECT_EQ(frameWait(0xfffffffau, 4u, false), 6);
}

class FrameEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        worldfix::openScreen();
        clearObjects();
        fireDelay = 0;
        weaponDelay = 0;
    }
    void TearDown() override { clearObjects(); }
};

TEST_F(FrameEndTest, DebugLineOncePerSecondWithListSizes) {
    Sprite dot;
    dot.anims.push_back(worldfix::anim(1, 4, 4));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(addParticle(Particle(&dot, 50, 50, gravity, drag, 0.0f, 0.0f, 10)));
    fireDelay = 5;
    weaponDelay = 9;
    worldfix::resetDirty();
    for (int i = 0; i < 7; ++i) markDirty(i, i, 2, 2);
    frameStart = SDL_GetTicks();
    lastSecond = 0;

    CaptureStdout cap;
    presentFrame();
    const std::string line = cap.stop();
    EXPECT_EQ(dirtyCount, 0);
    ASSERT_EQ(line.rfind("time: ", 0), 0u) << line;
    const std::string rest = line.substr(line.find(','));
    EXPECT_EQ(rest, ", parts: 2, fly: 0, updates: 7, weps: 0, delay: 5-9\n");
    EXPECT_NE(lastSecond, 0);

    // Within the same calendar second nothing is printed.
    time_t now = time(nullptr);
    lastSecond = now;
    CaptureStdout again;
    presentFrame();
    const std::string second = again.stop();
    if (time(nullptr) == now) {
        EXPECT_EQ(second, "");
    }
    clearObjects();  // before `dot` goes
}

TEST_F(FrameEndTest, FullUpdateIsClearedWhenPresented) {
    fullUpdate = true;
    markDirty(0, 0, 10, 10);
    lastSecond = time(nullptr) + 1000;  // keep the debug line out of it
    presentFrame();
    EXPECT_FALSE(fullUpdate);
    EXPECT_EQ(dirtyCount, 0);
}

}  // namespace
