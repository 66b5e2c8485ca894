// Outside bytes the game must survive: key sprites in the graphics pack that cannot be drawn.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "base/resfile.h"
#include "game/game.h"
#include "game/transfer.h"
#include "media/sprite.h"
#include "testutil.h"

// The real graphics pack with one entry made no BMP ('j'), one byte short ('s'),
// or a bitmap's first 600 bytes claiming 8192 x 8192 pixels of 6144 bits, which
// SDL makes an empty picture of (no alpha plane: 'h'), or an old core header
// claiming 13352 x 48535 pixels, for which SDL asks for more than all memory ('c'), or one row of 58,881 bits,
// which SDL reads but cannot convert ('b'); start-up must
// end with `status` and log `line`.
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
        {"kursor.bmp", 'h', 101, "FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (kursor.bmp)\n"},
        {"kursor.bmp", 'c', 101, "FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (kursor.bmp)\n"},
        {"kursor.bmp", 'b', 101, "FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (kursor.bmp)\n"},
        {"", 's', 0, "INFO: MaxUpdates: 1\n"}, {"", 's', 0, "ms\n--------------------------------------------------------------------------------\n"},
    };
    char home[4096];
    ASSERT_TRUE(getcwd(home, sizeof home));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        std::vector<testutil::PackEntry> changed = entries;
        for (testutil::PackEntry& e : changed) {
            if (e.name != c.entry) continue;
            if (c.change == 'j') e.bytes = "BM" + std::string(64, 'j');
            if (c.change == 's') e.bytes.erase(0, 1);
            if (c.change == 'h') e.bytes = e.bytes.substr(0, 600).replace(18, 12, std::string("\0\x20\0\0\0\x20\0\0\1\0\0\x18", 12));
            if (c.change == 'b') e.bytes = e.bytes.substr(0, 1383).replace(18, 12, std::string("\x20\x2b\0\0\xff\xff\xff\xff\xff\xff\x01\xe6", 12));
            if (c.change == 'c') e.bytes = e.bytes.substr(0, 600).replace(14, 12, std::string("\x0c\0\0\0\x28\x34\x97\xbd\xa3\x30\x20\x30", 12));
        }
        changed.erase(std::remove_if(changed.begin(), changed.end(),
                                     [&](const testutil::PackEntry& e) { return (c.change == 'b' || c.change == 'c' || c.change == 'h') && e.name == "kursor.smt"; }),
                      changed.end());
        ASSERT_EQ(chdir(testutil::tempDir(c.entry).c_str()), 0);
        mkdir("data", 0755);
        testutil::writePack("data/gfx.pkf", changed);
        testutil::CaptureStdout log;
        StartOptions options;
        options.videoFlags = 0, options.width = 320, options.height = 200, options.budget = 1;
        char* title = nullptr;
        EXPECT_EQ(startGame(options), c.status);
        EXPECT_STREQ((SDL_WM_GetCaption(&title, nullptr), title), "Bzykolot 2");
        EXPECT_NE(log.stop().find(c.line), std::string::npos);
        ASSERT_EQ(chdir(home), 0);
        Sprite::load("none.pkf", sprites);  // so the loader lets go of data/gfx.pkf
        curl_easy_cleanup(curl);            // start-up makes a new one and reopens the video itself
    }
}
