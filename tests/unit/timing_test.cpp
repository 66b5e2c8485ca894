// The drawing budget in "upds" and the 16 ms pacing on a made-up clock.
#include <gtest/gtest.h>

#include <optional>

#include "game/frame.h"
#include "media/budget.h"
#include "media/dirty.h"
#include "testutil.h"

using testutil::CaptureStdout;

namespace {

int32_t g_calls = 0;
int32_t countingMeasure() { return ++g_calls, 66000 + g_calls + (g_calls == 20) * 9; }  // average 66010.95: 66010, three bytes

std::string le32(int64_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

TEST(Budget, StoredValueOrMeasuredAndRewritten) {
    const std::pair<std::optional<std::string>, int32_t> rows[] = {  // the file; 66010: measured and rewritten
        {le32(250), 250}, {le32(77) + le32(99999), 77}, {le32(1000000), 1000000}, {std::nullopt, 66010},
        {"\x20\x01\x00", 66010}, {le32(0), 66010}, {le32(-1), 66010}, {le32(1000001), 66010}, {le32(0x7fffffff), 66010}};
    for (const auto& [file, budget] : rows) {
        const std::string path = testutil::tempDir("upds") + "/upds";
        if (file) testutil::writeFile(path, *file);
        g_calls = 0;
        CaptureStdout cap;
        getMaxUpdatesFrom(path.c_str(), countingMeasure);
        EXPECT_EQ(cap.stop(), "");
        EXPECT_EQ(maxUpdates, budget);
        EXPECT_EQ(g_calls, budget == 66010 ? 20 : 0);
        EXPECT_EQ(testutil::readFile(path), budget == 66010 ? le32(66010) : *file);
    }
    g_calls = 0;
    CaptureStdout cap;
    getMaxUpdatesFrom("no/such/dir/upds", countingMeasure);
    EXPECT_EQ(cap.stop(), "FAIL: getMaxUpdates: Nie udalo sie otworzyc pliku do zapisu\n");
    EXPECT_EQ(maxUpdates, 66010) << "the measurement is used all the same";
}

TEST(Pacing, WaitsOutSixteenMillisecondsUnlessRightShift) {
    // Started at 1000: now, 14 ms on, 15 ms on, right Shift held; across the wrap of SDL's clock.
    EXPECT_EQ((std::vector<int32_t>{frameWait(1000, 1000, false), frameWait(1000, 1014, false), frameWait(1000, 1015, false),
                                    frameWait(1000, 1003, true), frameWait(0xfffffffau, 4u, false)}), (std::vector<int32_t>{16, 2, -1, -1, 6}));
    // The second reading, right before the delay: what is left, none once 16 ms went by, across the wrap too.
    EXPECT_EQ((std::vector<int32_t>{frameLeft(1000, 1015), frameLeft(1000, 1016), frameLeft(1000, 1020), frameLeft(0xfffffffau, 0x20u)}), (std::vector<int32_t>{1, 0, 0, 0}));
}

}  // namespace
