// Bitmap text layout read back from the screen: every glyph has its own
// colour, so the position of each drawn character can be found.
#include <gtest/gtest.h>

#include <string>

#include "media/sprite.h"
#include "media/text.h"
#include "media/video.h"
#include "testutil.h"

using testutil::CaptureStdout;

namespace {

constexpr int W = 320, H = 200;
constexpr int kGlyphs = 91;  // ' ' (32) to 'z' (122)

class TextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        ASSERT_NE(screen = SDL_SetVideoMode(W, H, 32, 0), nullptr) << SDL_GetError();
        // Glyph k: 6 x 10 pixels ('i' 0 wide) at x = 8k in colour (k + 1) << 8 | 0x20.
        font.bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, 8 * kGlyphs, 10, 32, 0x00ff0000,
                                           0x0000ff00, 0x000000ff, 0xff000000);
        for (int k = 0; k < kGlyphs; ++k) {
            SDL_Rect r{Sint16(8 * k), 0, 8, 10};
            SDL_FillRect(font.bitmap, &r, 0xff000000u | Uint32(k + 1) << 8 | 0x20);
            font.anims.push_back(Anim{1, 8 * k, 0, k == 'i' - 32 ? 0 : 6, 10, 0, 0, 100, 0});
        }
    }
    static void TearDownTestSuite() {
        SDL_FreeSurface(font.bitmap);
        font.bitmap = nullptr;
        SDL_Quit();
    }

    // Glyph index drawn at (x, y), or -1 where the screen is black/outside.
    static int glyphAt(int x, int y) {
        if (x < 0 || y < 0 || x >= W || y >= H) return -1;
        const Uint32 v = *reinterpret_cast<Uint32*>(static_cast<Uint8*>(screen->pixels) + y * screen->pitch + 4 * x);
        return (v & 0xff) == 0x20 ? int(v >> 8 & 0xffff) - 1 : -1;
    }
    static void draw(int left, int top, const std::string& s, uint8_t spaceWidth = 12) {
        SDL_FillRect(screen, nullptr, 0);
        Text t(left, top, &font, "", 96, spaceWidth, 0);
        t.text = s;
        CaptureStdout cap;
        t.draw();
        EXPECT_EQ(cap.stop(), "") << "drawing text logs nothing";
    }
    static Sprite font;
};
Sprite TextTest::font;

TEST_F(TextTest, Layout) {
    struct Row {
        int left, top;
        std::string text;
        char c;
        int x, y;  // where c's glyph has its top-left corner
    } rows[] = {
        {30, 20, "AB\nC", 'A', 30, 20},
        {30, 20, "AB\nC", 'B', 37, 20},  // width + 1
        {30, 20, "AB\nC", 'C', 30, 30},  // line height from the space glyph
        // Tab stops every 4 spaces, counted from screen x 0.
        {0, 0, "\tA", 'A', 48, 0},
        {46, 0, "\tA", 'A', 48, 0},
        {47, 0, "\tA", 'A', 96, 0},
        {48, 0, "\tA", 'A', 96, 0},
        // Wrap only after a space that leaves the pen beyond 96.
        {0, 0, std::string(12, 'A') + " B", 'B', 96, 0},
        {0, 0, std::string(12, 'A') + "i B", 'B', 0, 10},
        {0, 0, std::string(20, 'A') + " B", 'A', 133, 0},  // a long word overflows its line
        {0, 0, std::string(20, 'A') + " B", 'B', 0, 10},
        // Missing glyphs and controls advance by the space width.
        {0, 0, "A{B", 'B', 19, 0},
        {0, 0, "A\rB", 'B', 19, 0},
        {0, 0, "A\xc3" "B", 'B', 19, 0},
        {0, 0, std::string("A\0B", 3), 'A', 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(r.text) << " at " << r.left << ": '" << r.c << "'");
        draw(r.left, r.top, r.text);
        const int k = r.c - 32;
        EXPECT_EQ(glyphAt(r.x, r.y), k);
        EXPECT_NE(glyphAt(r.x - 1, r.y), k) << "starts further left";
        EXPECT_NE(glyphAt(r.x, r.y - 1), k) << "starts higher";
    }
    EXPECT_EQ(glyphAt(7, 0), -1) << "nothing after a zero character";
    draw(0, 0, "A\xc3" "B");
    EXPECT_EQ(glyphAt(8, 0), -1);
    draw(3, 0, "\tA", 0);
    EXPECT_EQ(glyphAt(3, 0), 'A' - 32) << "a tab without space width neither moves nor divides by zero";
}

TEST_F(TextTest, LineHeightAndNullFont) {
    EXPECT_EQ(Text(0, 0, &font, "", 96, 12, 14).lineHeight, 14);
    SDL_FillRect(screen, nullptr, 0);
    CaptureStdout cap;
    Text none(5, 5, nullptr, "AB", 96, 12, 0);
    none.draw();
    EXPECT_EQ(cap.stop(), "FAIL: Text.Text: Null sprite\n");
    for (int x = 0; x < W; ++x) ASSERT_EQ(glyphAt(x, 5), -1);
}

}  // namespace
