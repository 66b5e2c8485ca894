// Sprite library against packs written here: alpha planes, the colour key
// family, missing companions, wrong-size alpha, animation lines of every
// length, comments, line ends; then drawing read back from the screen.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/game.h"
#include "media/sprite.h"
#include "testutil.h"

using testutil::CaptureStdout;
using testutil::PackEntry;

namespace {

constexpr int W = 200;
constexpr int H = 120;

using Colour = std::function<Uint32(int x, int y)>;  // 0xRRGGBB

// A 24-bit BMP file of w x h pixels.
std::string bmp(int w, int h, const Colour& colour) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xff0000, 0x00ff00, 0x0000ff, 0);
    SDL_LockSurface(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Uint8* p = static_cast<Uint8*>(s->pixels) + y * s->pitch + 3 * x;
            const Uint32 c = colour(x, y);
            p[0] = c & 0xff;  // blue, green, red in memory for these masks
            p[1] = (c >> 8) & 0xff;
            p[2] = (c >> 16) & 0xff;
        }
    SDL_UnlockSurface(s);
    const std::string path = testutil::tempDir("bmp") + "/x.bmp";
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    return testutil::readFile(path);
}

std::string solid(int w, int h, Uint32 c) {
    return bmp(w, h, [c](int, int) { return c; });
}

// Lines of the log written by the sprite library (the pack reader's own lines left out).
std::vector<std::string> spriteLines(const std::string& log) {
    std::vector<std::string> out;
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.find("Sprite.") != std::string::npos) out.push_back(line);
    return out;
}

Uint8 alphaAt(SDL_Surface* s, int x, int y) {
    const Uint32 v = *reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch + 4 * x);
    Uint8 r, g, b, a;
    SDL_GetRGBA(v, s->format, &r, &g, &b, &a);
    return a;
}

class SpriteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        screen = SDL_SetVideoMode(W, H, 32, 0);
        ASSERT_NE(screen, nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() {
        CaptureStdout quiet;
        Sprite::clear(registry);
        SDL_Quit();
    }
    // Writes the pack under a fresh name (the reader keeps a pack it already has
    // open) and loads it into `registry`; returns the log.
    std::string load(const std::vector<PackEntry>& entries) {
        static int serial = 0;
        const std::string path = testutil::tempDir("gfx") + "/gfx" + std::to_string(++serial) + ".pkf";
        testutil::writePack(path, entries);
        CaptureStdout cap;
        Sprite::load(path.c_str(), registry);
        return cap.stop();
    }
    static SpriteMap registry;
};
SpriteMap SpriteTest::registry;

TEST_F(SpriteTest, AlphaPlaneGivesEachPixelItsAlpha) {
    const std::string plane = {0, 10, 20, 30, 40, static_cast<char>(255)};
    const std::string log = load({{"a.bmp", solid(3, 2, 0x00ff00)},
                                  {"a.smt", plane},
                                  {"a.txt", "1 0 0 3 2 0 0\n"}});
    EXPECT_EQ(spriteLines(log), std::vector<std::string>{"OK  : Sprite.load: Grafiki wczytane"});
    Sprite* s = registry["a.bmp"];
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->bitmap, nullptr);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(alphaAt(s->bitmap, k % 3, k / 3), static_cast<Uint8>(plane[k])) << "pixel " << k;
    ASSERT_NE(s->mask, nullptr);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(s->mask[k], 0);
    EXPECT_EQ(animCount(s), 1);
}

TEST_F(SpriteTest, ColourKeyMakesTheMagentaFamilyTransparent) {
    // Red 255 and blue 255 with any green below 255 is keyed out.
    const Uint32 row[] = {0xff00ff, 0xfffeff, 0xff80ff, 0xffffff, 0xfe00ff, 0xff00fe, 0x000000};
    const Uint8 expect[] = {0, 0, 0, 255, 255, 255, 255};
    const std::string log = load({{"key.bmp", bmp(7, 1, [&](int x, int) { return row[x]; })},
                                  {"key.txt", "1 0 0 7 1 0 0"}});
    EXPECT_NE(log.find("FAIL: Resfile.load: Nie znaleziono key.smt/-1 w "), std::string::npos)
        << "a missing alpha plane is the pack's ordinary not-found line";
    EXPECT_EQ(spriteLines(log), std::vector<std::string>{"OK  : Sprite.load: Grafiki wczytane"});
    Sprite* s = registry["key.bmp"];
    ASSERT_NE(s, nullptr);
    for (int x = 0; x < 7; ++x) EXPECT_EQ(alphaAt(s->bitmap, x, 0), expect[x]) << "pixel " << x;
}

TEST_F(SpriteTest, FailedStepsStopTheSpriteButNotTheLoad) {
    const std::string log = load({
        {"noanim.bmp", solid(2, 2, 0x123456)},
        {"badalpha.bmp", solid(2, 2, 0x123456)},
        {"badalpha.smt", "abc"},  // 3 bytes for 4 pixels
        {"badalpha.txt", "1 0 0 2 2 0 0"},
        {"broken.bmp", "BM but not a bitmap"},
        {"ok.bmp", solid(2, 2, 0x123456)},
        {"ok.txt", "1 0 0 2 2 0 0"},
        {"notes.TXT", "not a bitmap"},
        {"BM", "too short a name"},
        {"upper.BMP", "upper case is not taken"},
    });
    EXPECT_EQ(spriteLines(log), (std::vector<std::string>{
                                    "FAIL: Sprite.loadAnim: Nie udalo sie wczytac informacji o animacjach (noanim.txt)",
                                    "FAIL: Sprite.load: Nie wczytano animacji",
                                    "FAIL: Sprite.loadAlpha: Niezgodne wielkosci obrazow (badalpha.smt)",
                                    "FAIL: Sprite.load: Nie wczytano alfy",
                                    "FAIL: Sprite.loadGfx: Nie udalo sie wczytac grafiki (broken.bmp)",
                                    "FAIL: Sprite.load: Nie wczytano grafiki",
                                    "OK  : Sprite.load: Grafiki wczytane",
                                }));
    // Each stays registered with what it got.
    ASSERT_EQ(registry.count("noanim.bmp"), 1u);
    EXPECT_NE(registry["noanim.bmp"]->mask, nullptr);
    EXPECT_EQ(animCount(registry["noanim.bmp"]), 0);
    EXPECT_NE(registry["badalpha.bmp"]->bitmap, nullptr);
    EXPECT_EQ(registry["badalpha.bmp"]->mask, nullptr);
    EXPECT_EQ(animCount(registry["badalpha.bmp"]), 0);
    EXPECT_EQ(registry["broken.bmp"]->bitmap, nullptr);
    EXPECT_EQ(animCount(registry["ok.bmp"]), 1);
    EXPECT_EQ(registry.count("notes.TXT"), 0u);
    EXPECT_EQ(registry.count("upper.BMP"), 0u);
    EXPECT_EQ(registry.count("BM"), 0u);
}

TEST_F(SpriteTest, AnimationLinesOfEveryLength) {
    const std::string text =
        "1 2 3 4 5 6\n"                    // 6 fields: reported, skipped
        "1 2 3 4 5 6 7\n"                  // speed 100, loop 0
        "1 2 3 4 5 6 7 8\n"                // loop 0
        "1 2 3 4 5 6 7 8 9\n"              //
        "1 2 3 4 5 6 7 8 9 10 11 12\n"     // fields after the ninth ignored
        "# 1 2 3 4 5 6\n"                  // a comment
        "# short comment\n"                // short: reported like any short line
        "#1 2 3 4 5 6 7\n"                 // not a comment: first field reads 0
        "\t-4\t+5  x 7 8 9 10\n";          // tabs, signs, a field without digits
    const std::string log = load({{"an.bmp", solid(4, 4, 0)}, {"an.txt", text}});
    const std::string shortLine =
        "FAIL: Sprite.loadAnim: Brak wszystkich wymaganych informacji o animacji (an.txt)";
    EXPECT_EQ(spriteLines(log),
              (std::vector<std::string>{shortLine, shortLine, "OK  : Sprite.load: Grafiki wczytane"}));
    Sprite* s = registry["an.bmp"];
    ASSERT_EQ(animCount(s), 6);
    auto fields = [](const Anim& a) {
        return std::vector<int32_t>{a.frames, a.x, a.y, a.w, a.h, a.hotX, a.hotY, a.speed, a.loopFrame};
    };
    EXPECT_EQ(fields(s->anims[0]), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 100, 0}));
    EXPECT_EQ(fields(s->anims[1]), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
    EXPECT_EQ(fields(s->anims[2]), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(fields(s->anims[3]), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(fields(s->anims[4]), (std::vector<int32_t>{0, 2, 3, 4, 5, 6, 7, 100, 0}));
    EXPECT_EQ(fields(s->anims[5]), (std::vector<int32_t>{-4, 5, 0, 7, 8, 9, 10, 100, 0}));
}

TEST_F(SpriteTest, BothLineEndsAndTextAfterAZeroByte) {
    load({{"crlf.bmp", solid(4, 4, 0)},
          {"crlf.txt", std::string("4 0 0 32 32 16 16 50 1\r\n\r\n2 0 32 8 8 0 0\r\n\0" "9 9 9 9 9 9 9\n", 50)},
          {"lf.bmp", solid(4, 4, 0)},
          {"lf.txt", "4 0 0 32 32 16 16 50 1\n\n2 0 32 8 8 0 0"}});
    for (const char* name : {"crlf.bmp", "lf.bmp"}) {
        Sprite* s = registry[name];
        ASSERT_EQ(animCount(s), 2) << name;
        EXPECT_EQ(s->anims[0].speed, 50);
        EXPECT_EQ(s->anims[0].loopFrame, 1);
        EXPECT_EQ(s->anims[1].y, 32);
        EXPECT_EQ(s->anims[1].speed, 100);
    }
}

TEST_F(SpriteTest, LoadingClearsTheRegistryFirstAndMissingPackLoadsNothing) {
    load({{"one.bmp", solid(1, 1, 0)}, {"one.txt", "1 0 0 1 1 0 0"}});
    registry["absent.bmp"];  // a look-up of a name not present
    const std::string log = load({{"two.bmp", solid(1, 1, 0)}, {"two.txt", "1 0 0 1 1 0 0"}});
    EXPECT_EQ(spriteLines(log), (std::vector<std::string>{
                                    "INFO: Sprite.load: Czyszczenie mapy",
                                    "FAIL: Sprite.clear: NULL (absent.bmp)",
                                    "OK  : Sprite.load: Skasowano grafiki",
                                    "OK  : Sprite.load: Grafiki wczytane",
                                }));
    EXPECT_EQ(registry.size(), 1u);
    EXPECT_EQ(registry.count("two.bmp"), 1u);

    CaptureStdout cap;
    Sprite::load("no/such/pack.pkf", registry);
    const std::vector<std::string> lines = spriteLines(cap.stop());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "FAIL: Sprite.load: Nie udalo sie wczytac grafik");
    EXPECT_TRUE(registry.empty());
}

TEST_F(SpriteTest, AlphaIsWrittenThroughTheRealPitchAndAlphaByte) {
    load({{"pad.bmp", solid(3, 2, 0)}, {"pad.smt", std::string("\x01\x02\x03\x04\x05\x06", 6)}});
    // A bitmap with 8 bytes of padding per row and alpha in the lowest byte;
    // a guard area after it catches any write past the bitmap.
    const int pitch = 3 * 4 + 8;
    std::vector<Uint8> memory(static_cast<size_t>(pitch) * 2 + 64, 0x11);
    Sprite s;
    s.bitmap = SDL_CreateRGBSurfaceFrom(memory.data(), 3, 2, 32, pitch, 0xff000000, 0x00ff0000, 0x0000ff00,
                                        0x000000ff);
    ASSERT_NE(s.bitmap, nullptr);
    CaptureStdout cap;
    EXPECT_TRUE(Sprite::loadAlpha("pad.smt", &s));
    cap.stop();
    for (size_t i = 0; i < memory.size(); ++i) {
        const size_t row = i / pitch, col = i % pitch;
        const bool alphaByte = row < 2 && col < 12 && col % 4 == 0;  // byte 0 of each pixel (little endian)
        const Uint8 want = alphaByte ? static_cast<Uint8>(1 + row * 3 + col / 4) : 0x11;
        EXPECT_EQ(memory[i], want) << "byte " << i;
    }
    SDL_FreeSurface(s.bitmap);
}

// ---- Drawing and look-ups ---------------------------------------------------

Uint32 screenAt(int x, int y) {
    return *reinterpret_cast<Uint32*>(static_cast<Uint8*>(screen->pixels) + y * screen->pitch + 4 * x) & 0xffffff;
}

// Columns of the bitmap carry their own colour: 0x0100 * x + 0x40 (blue 0x40).
class PrintTest : public SpriteTest {
protected:
    void SetUp() override {
        sprite.bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, 128, 32, 32, 0x00ff0000, 0x0000ff00,
                                             0x000000ff, 0xff000000);
        for (int x = 0; x < 128; ++x) {
            SDL_Rect col{static_cast<Sint16>(x), 0, 1, 32};
            SDL_FillRect(sprite.bitmap, &col, 0xff000000u | (0x100u * x + 0x40));
        }
        // Animation 0: frames of 32 x 32 with the hot spot at the centre;
        // animation 1: frames of 8 x 4 from x 10 with the hot spot at the corner.
        sprite.anims = {Anim{4, 0, 0, 32, 32, 16, 16, 100, 0}, Anim{3, 10, 0, 8, 4, 0, 0, 100, 0}};
        SDL_FillRect(screen, nullptr, 0);
    }
    void TearDown() override { SDL_FreeSurface(sprite.bitmap); }
    Sprite sprite;
};

TEST_F(PrintTest, HotSpotPlacesTheFrame) {
    CaptureStdout cap;
    Sprite::print(&sprite, 0, 0, 100, 50);
    EXPECT_EQ(cap.stop(), "");
    EXPECT_EQ(screenAt(84, 34), 0x000040u);  // column 0 of the bitmap
    EXPECT_EQ(screenAt(115, 65), 0x001f40u);
    EXPECT_EQ(screenAt(83, 34), 0u);
    EXPECT_EQ(screenAt(84, 33), 0u);
    EXPECT_EQ(screenAt(116, 65), 0u);
    EXPECT_EQ(screenAt(115, 66), 0u);
}

TEST_F(PrintTest, LaterFramesAreCutFurtherRight) {
    Sprite::print(&sprite, 1, 2, 40, 40);  // frame 2 of x 10, w 8: column 26
    EXPECT_EQ(screenAt(40, 40), 0x001a40u);
    EXPECT_EQ(screenAt(47, 43), 0x002140u);
    EXPECT_EQ(screenAt(48, 40), 0u);
}

TEST_F(PrintTest, ClippedAtTheScreenEdges) {
    Sprite::print(&sprite, 0, 0, 0, 0);  // top-left corner at (-16, -16)
    EXPECT_EQ(screenAt(0, 0), 0x001040u);
    EXPECT_EQ(screenAt(15, 15), 0x001f40u);
    EXPECT_EQ(screenAt(16, 0), 0u);
    Sprite::print(&sprite, 0, 0, W, H);  // bottom-right
    EXPECT_EQ(screenAt(W - 1, H - 1), 0x000f40u);
    EXPECT_EQ(screenAt(W - 16, H - 16), 0x000040u);

    SDL_FillRect(screen, nullptr, 0);
    CaptureStdout cap;
    Sprite::print(&sprite, 0, 0, -40, 60);
    Sprite::print(&sprite, 0, 0, W + 16, 60);
    EXPECT_EQ(cap.stop(), "") << "off screen draws nothing and says nothing";
    for (int y = 0; y < H; y += 7)
        for (int x = 0; x < W; x += 7) ASSERT_EQ(screenAt(x, y), 0u);
}

TEST_F(PrintTest, BadIndicesAreRefused) {
    CaptureStdout cap;
    Sprite::print(&sprite, 2, 0, 50, 50);
    Sprite::print(&sprite, static_cast<uint32_t>(-1), 0, 50, 50);
    EXPECT_EQ(Sprite::getAnim(&sprite, 2), nullptr);
    EXPECT_EQ(Sprite::getAnim(&sprite, -1), nullptr);
    EXPECT_EQ(Sprite::getAnim(&sprite, 1), &sprite.anims[1]);
    EXPECT_EQ(cap.stop(),
              "FAIL: Sprite.print: Brak animacji 2\n"
              "FAIL: Sprite.print: Brak animacji -1\n"
              "FAIL: Sprite.getAnim: Nie ma takiej animacji (2)\n"
              "FAIL: Sprite.getAnim: Nie ma takiej animacji (-1)\n");
    EXPECT_EQ(screenAt(50, 50), 0u);
}

TEST_F(PrintTest, MaskReadsZeroInsideAndOutside) {
    std::vector<uint8_t> mask(128 * 32, 0);
    mask[5 * 128 + 7] = 9;  // the loader writes none, but the reader must find its byte
    sprite.mask = mask.data();
    EXPECT_EQ(maskAt(&sprite, 7, 5), 9);
    EXPECT_EQ(maskAt(&sprite, 0, 0), 0);
    EXPECT_EQ(maskAt(&sprite, 128, 5), 0);
    EXPECT_EQ(maskAt(&sprite, -1, 5), 0);
    EXPECT_EQ(maskAt(&sprite, 7, 32), 0);
    sprite.mask = nullptr;
    EXPECT_EQ(maskAt(&sprite, 7, 5), 0);
}

}  // namespace
