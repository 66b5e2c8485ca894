// Outside bytes the game must survive: a downloaded table's nicks on the
// score panel, and a graphics pack whose key sprites exist but cannot be drawn.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

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
    EXPECT_EQ(table.records[0].nick, "ab\tc\nd\x01\x7f\xc3\xa9~ Z");  // the table itself untouched
}

// The real graphics pack with one change each: start-up must end with
// `status` and log `last`; the untouched pack must start.
TEST(Hostile, KeySpriteThatCannotBeDrawnStopsStartUp) {
    const std::string real = std::string(getenv("BUILD_DIR")) + "/run/data/gfx.pkf";
    Resfile pack;
    const int32_t n = pack.count(real.c_str());
    ASSERT_GT(n, 0) << real;
    std::vector<testutil::PackEntry> entries;
    for (int32_t i = 0; i < n; ++i) {
        const auto bytes = pack.load("", "", i);
        ASSERT_TRUE(bytes);
        entries.push_back({pack.entryName(i), std::string(bytes->begin(), bytes->end())});
    }
    struct Case {
        const char* entry;
        const char* change;  // "drop": no entry; "junk": bytes no BMP decoder takes; "short": one byte less
        int status;
        const char* last;
    } cases[] = {
        {"kursor.txt", "drop", 101, "FAIL: Nie udalo sie wczytac grafik kursora/muchy"},
        {"mucha01.bmp", "junk", 101, "FAIL: Nie udalo sie wczytac grafik kursora/muchy"},
        {"wep_flame.smt", "short", 101, "FAIL: Nie udalo sie wczytac grafiki broni 1"},
        {"", "", 0, ""},
    };
    char home[4096];
    ASSERT_TRUE(getcwd(home, sizeof home));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " " + c.change);
        std::vector<testutil::PackEntry> changed;
        for (testutil::PackEntry e : entries) {
            if (e.name == c.entry && std::string(c.change) == "drop") continue;
            if (e.name == c.entry) e.bytes = std::string(c.change) == "junk" ? "BM" + std::string(64, 'j') : e.bytes.substr(1);
            changed.push_back(e);
        }
        const std::string dir = testutil::tempDir(c.entry);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        mkdir("data", 0755);
        testutil::writePack("data/gfx.pkf", changed);
        testutil::CaptureStdout log;
        StartOptions options;
        options.videoFlags = 0, options.width = 320, options.height = 200, options.budget = 1;
        const int status = startGame(options);
        // The loader keeps its pack open by name: a missing one makes it let go.
        Sprite::load("none.pkf", sprites);
        curl_easy_cleanup(curl);  // start-up makes a new one; the video it reopens itself
        const std::string text = log.stop();
        ASSERT_EQ(chdir(home), 0);
        EXPECT_EQ(status, c.status);
        if (*c.last) {
            EXPECT_NE(text.find(std::string(c.last) + "\n"), std::string::npos) << text;
        }
    }
}
