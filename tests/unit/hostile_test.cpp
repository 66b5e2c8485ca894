// Outside bytes the game must survive: nicks of a downloaded table on the
// score panel, and key sprites in the graphics pack that cannot be drawn.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/resfile.h"
#include "game/game.h"
#include "game/scorescreen.h"
#include "game/transfer.h"
#include "media/sprite.h"
#include "testutil.h"

TEST(Hostile, DownloadedNicksShowAsOneRowOfPrintableBytes) {
    Hiscore table;
    table.records = {{1, "ab\tc\nd\x01\x7f\xc3\xa9~ Z", 5, 0}, {2, std::string(32, 'x'), 3, 0}};
    EXPECT_EQ(tableText(table, true), "Muchy:\n01.\t ab?c?d????~ Z\t 5\n02.\t " + std::string(31, 'x') + "\t 3\n");
    EXPECT_EQ(table.records[0].nick, "ab\tc\nd\x01\x7f\xc3\xa9~ Z");
}

// The real graphics pack with one entry made no BMP ('j') or one byte short
// ('s'): start-up must end with `status` and log `line`.
TEST(Hostile, KeySpriteThatCannotBeDrawnStopsStartUp) {
    Resfile real;
    std::vector<testutil::PackEntry> entries;
    const std::string path = std::string(getenv("BUILD_DIR")) + "/run/data/gfx.pkf";
    for (int32_t i = 0, n = real.count(path.c_str()); i < n; ++i) {
        const auto bytes = real.load("", "", i);
        entries.push_back({real.entryName(i), std::string(bytes->begin(), bytes->end())});
    }
    const struct { const char* entry; char change; int status; const char* line; } cases[] = {
        {"mucha01.bmp", 'j', 101, "FAIL: Nie udalo sie wczytac grafik kursora/muchy\n"},
        {"wep_flame.smt", 's', 101, "FAIL: Nie udalo sie wczytac grafiki broni 1\n"},
        {"", 's', 0, "INFO: MaxUpdates: 1\n"},
    };
    char home[4096];
    ASSERT_TRUE(getcwd(home, sizeof home));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        std::vector<testutil::PackEntry> changed = entries;
        for (testutil::PackEntry& e : changed)
            if (e.name == c.entry) e.bytes = c.change == 'j' ? "BM" + std::string(64, 'j') : e.bytes.substr(1);
        ASSERT_EQ(chdir(testutil::tempDir(c.entry).c_str()), 0);
        mkdir("data", 0755);
        testutil::writePack("data/gfx.pkf", changed);
        testutil::CaptureStdout log;
        StartOptions options;
        options.videoFlags = 0, options.width = 320, options.height = 200, options.budget = 1;
        EXPECT_EQ(startGame(options), c.status);
        EXPECT_NE(log.stop().find(c.line), std::string::npos);
        ASSERT_EQ(chdir(home), 0);
        Sprite::load("none.pkf", sprites);  // so the loader lets go of data/gfx.pkf
        curl_easy_cleanup(curl);            // start-up makes a new one and reopens the video itself
    }
}
