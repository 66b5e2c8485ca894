// Bitmap text layout read back from the screen: every glyph has its own
// colour, so the position of each drawn character can be found.
#include <gtest/gtest.h>

#include <string>

#include "core/game.h"
#include "media/sprite.h"
#include "media/text.h"
#include "testutil.h"

using testutil::CaptureStdout;

namespace {

constexpr int W = 320;
constexpr int H = 200;
constexpr int kGlyphs = 91;  // ' ' (32) to 'z' (122)
constexpr int kNarrow = 'i' - 32;

class TextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        screen = SDL_SetVideoMode(W, H, 32, 0);
        ASSERT_NE(screen, nullptr) << SDL_GetError();
        // Glyph k: 6 x 10 pixels ('i' 0 wide) at x = 8k in colour (k + 1) << 8 | 0x20.
        font.bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, 8 * kGlyphs, 10, 32, 0x00ff0000,
                                           0x0000ff00, 0x000000ff, 0xff000000);
        for (int k = 0; k < kGlyphs; ++k) {
            SDL_Rect r{static_cast<Sint16>(8 * k), 0, 8, 10};
            SDL_FillRect(font.bitmap, &r, 0xff000000u | (static_cast<Uint32>(k + 1) << 8) | 0x20);
            font.anims.push_back(Anim{1, 8 * k, 0, k == kNarrow ? 0 : 6, 10, 0, 0, 100, 0});
        }
    }
    static void TearDownTestSuite() {
        SDL_FreeSurface(font.bitmap);
        SDL_Quit();
    }
    void SetUp() override { SDL_FillRect(screen, nullptr, 0); }

    // Glyph index drawn at (x, y), or -1 where the screen is black/outside.
    static int glyphAt(int x, int y) {
        if (x < 0 || y < 0 || x >= W || y >= H) return -1;
        const Uint32 v =
            *reinterpret_cast<Uint32*>(static_cast<Uint8*>(screen->pixels) + y * screen->pitch + 4 * x) & 0xffffff;
        if ((v & 0xff) != 0x20) return -1;
        return static_cast<int>(v >> 8) - 1;
    }
    // The glyph of character c has its top-left corner exactly at (x, y).
    static void expectChar(char c, int x, int y) {
        const int k = c - 32;
        EXPECT_EQ(glyphAt(x, y), k) << "'" << c << "' not at " << x << "," << y;
        EXPECT_NE(glyphAt(x - 1, y), k) << "'" << c << "' starts left of " << x;
        EXPECT_NE(glyphAt(x, y - 1), k) << "'" << c << "' starts above " << y;
    }
    static bool screenBlack() {
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (glyphAt(x, y) >= 0) return false;
        return true;
    }
    static void draw(int left, int top, const std::string& s, uint32_t wrap = 96) {
        Text t(left, top, &font, "", wrap, 12, 0);
        t.text = s;
        CaptureStdout cap;
        t.draw();
        EXPECT_EQ(cap.stop(), "") << "drawing text logs nothing";
    }
    static Sprite font;
};
Sprite TextTest::font;

TEST_F(TextTest, EmptyStringDrawsNothing) {
    draw(10, 10, "");
    EXPECT_TRUE(screenBlack());
}

TEST_F(TextTest, GlyphsAdvanceByWidthPlusOneAndLineFeedGoesDown) {
    draw(30, 20, "AB\nC");
    expectChar('A', 30, 20);
    expectChar('B', 37, 20);
    expectChar('C', 30, 30);  // line height from the font's space glyph
}

TEST_F(TextTest, TabStopsCountFromScreenZero) {
    const int lefts[] = {0, 46, 47, 48};
    const int stops[] = {48, 48, 96, 96};
    for (int i = 0; i < 4; ++i) {
        SetUp();
        draw(lefts[i], 0, "\tA");
        expectChar('A', stops[i], 0);
    }
}

TEST_F(TextTest, WrapsOnlyAfterASpaceBeyondTheWidth) {
    draw(0, 0, std::string(12, 'A') + " B");  // the space brings the pen to exactly 96
    expectChar('B', 96, 0);

    SetUp();
    draw(0, 0, std::string(12, 'A') + "i B");  // 97: a new line
    expectChar('B', 0, 10);
    EXPECT_EQ(glyphAt(96, 0), -1);

    SetUp();
    draw(0, 0, std::string(20, 'A') + " B");  // a long word overflows its line
    expectChar('A', 133, 0);
    expectChar('B', 0, 10);
}

TEST_F(TextTest, MissingGlyphsAndControlsAdvanceBySpaceWidth) {
    draw(0, 0, "A{B");  // '{' is one past the font's last glyph
    expectChar('B', 19, 0);
    SetUp();
    draw(0, 0, "A\rB");
    expectChar('B', 19, 0);
    SetUp();
    draw(0, 0, "A\xc3" "B");
    expectChar('B', 19, 0);
    EXPECT_EQ(glyphAt(8, 0), -1);
}

TEST_F(TextTest, StopsAtAZeroCharacter) {
    draw(0, 0, std::string("A\0B", 3));
    expectChar('A', 0, 0);
    EXPECT_EQ(glyphAt(7, 0), -1);
}

TEST_F(TextTest, LineHeightAndNullFont) {
    EXPECT_EQ(Text(0, 0, &font, "", 96, 12, 0).lineHeight, 10);
    EXPECT_EQ(Text(0, 0, &font, "", 96, 12, 14).lineHeight, 14);

    CaptureStdout cap;
    Text none(5, 5, nullptr, "AB", 96, 12, 0);
    none.draw();
    EXPECT_EQ(cap.stop(), "FAIL: Text.Text: Null sprite\n");
    EXPECT_TRUE(screenBlack());
}

TEST_F(TextTest, TabWithoutSpaceWidthDoesNotDivideByZero) {
    Text t(3, 0, &font, "\tA", 96, 0, 0);
    t.draw();
    expectChar('A', 3, 0);
}

}  // namespace
