// The game's own tests (drawing, screens, the frame): a dummy-driver screen
// read back pixel by pixel, hand-made sprites under the names the game looks
// up, the game as the world's sink (its marks in dirtyRects), and a sound pack
// whose WAVs differ in length, so a busy mixer slot (none drains without an
// audio device) tells which sound started.
#pragma once
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "base/rng.h"
#include "game/arsenal.h"
#include "game/cursor.h"
#include "game/game.h"
#include "game/input.h"
#include "game/menu.h"
#include "game/render.h"
#include "game/round.h"
#include "game/watch.h"
#include "media/dirty.h"
#include "media/events.h"
#include "media/sound.h"
#include "media/sprite.h"
#include "media/video.h"
#include "testutil.h"
#include "world/objects.h"
#include "world/weapon.h"

namespace gamefix {

constexpr int W = 640, H = 480;
const Vec2 kZero{0.0f, 0.0f};

inline void resetDirty() { dirtyCount = 0, fullUpdate = false; }

// `looks` animations of `frames` frames, w x h, hot spot in the middle or at the
// corner; frame f of look k is the colour (k + 1, 16 * (f + 1), 0x80).
inline Sprite* paint(Sprite* s, int32_t looks, int32_t w, int32_t h, int32_t frames = 1, bool centred = true) {
    s->bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE, w * frames, h * looks, 32, 0xff0000, 0xff00, 0xff, 0);
    for (int32_t k = 0; k < looks; ++k) {
        s->anims.push_back(Anim{frames, 0, k * h, w, h, centred ? w / 2 : 0, centred ? h / 2 : 0, 100, 0});
        for (int32_t f = 0; f < frames; ++f) {
            SDL_Rect r{Sint16(f * w), Sint16(k * h), Uint16(w), Uint16(h)};
            SDL_FillRect(s->bitmap, &r, SDL_MapRGB(s->bitmap->format, Uint8(k + 1), Uint8(16 * (f + 1)), 0x80));
        }
    }
    return s;
}

// A painted sprite kept to the end of the process: the lists' destructors still read it.
inline Sprite* makeSprite(int32_t looks, int32_t w, int32_t h, int32_t frames = 1, bool centred = true) {
    static auto* keep = new std::vector<std::unique_ptr<Sprite>>;
    return paint(keep->emplace_back(std::make_unique<Sprite>()).get(), looks, w, h, frames, centred);
}

inline Sprite* plainSprite(int32_t count, int32_t w = 4, int32_t h = 4) { return makeSprite(count, w, h, 1, false); }

// Look and frame shown at (x, y) of the screen; -1, -1 where it is black.
inline std::pair<int, int> shown(int32_t x, int32_t y) {
    Uint8 r, g, b;
    SDL_GetRGB(static_cast<Uint32*>(screen->pixels)[y * screen->pitch / 4 + x], screen->format, &r, &g, &b);
    return {r - 1, g / 16 - 1};
}

inline void blank() { SDL_FillRect(screen, nullptr, 0); }

// Whether this frame marked exactly the box (x, y, w, h), already inside the screen.
inline bool marked(int32_t x, int32_t y, int32_t w, int32_t h) {
    for (int32_t i = 0; i < dirtyCount && i < int32_t(dirtyRects.size()); ++i)
        if (dirtyRects[i].x == x && dirtyRects[i].y == y && dirtyRects[i].w == w && dirtyRects[i].h == h) return true;
    return false;
}

inline std::map<std::string, int32_t> soundLength;  // converted length of each test sound

// Busy mixer slots holding the sound `name`.
inline int started(const std::string& name) {
    return int(std::count_if(channels, channels + kSoundChannels, [&](auto& c) { return c.pos < c.len && c.len == soundLength[name]; }));
}

inline void freeSlots() { for (SoundChannel& c : channels) c.pos = c.len; }

// SDL's pointer (the dummy driver takes a warp as a motion) and the frame's copy.
inline void putMouse(int32_t x, int32_t y) { SDL_WarpMouse(Uint16(x), Uint16(y)), SDL_PumpEvents(), mouseX = x, mouseY = y; }

// Screen, sound pack (in a folder removed at exit) and sprites once per
// process; a fresh round in StatePlay with the mouse at the centre for every test.
class Game : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SDL_Init(SDL_INIT_VIDEO), screen = SDL_SetVideoMode(W, H, 32, SDL_SWSURFACE), fitField(), showWorld();
        sheetSource = [](const std::string& name) -> Sheet* { return findSprite(name); };
        dirtyRects.resize(maxUpdates = 200000);
        static const std::string dir = std::filesystem::absolute(testutil::tempDir("world")).string();
        std::filesystem::create_directory(dir + "/data"), std::filesystem::current_path(dir);
        std::atexit([] { std::error_code ignored; std::filesystem::remove_all(dir, ignored); });
        const char* sounds[] = {"explosion00.wav", "flame.wav", "fireball.wav", "boing.wav", "drop.wav", "flybuzz.wav", "hit.wav"};
        std::vector<testutil::PackEntry> wavs;
        for (const char* name : sounds) wavs.push_back({name, testutil::wav(1, 11025, 8, std::string(48 + 8 * wavs.size(), '\xe0'))});
        testutil::writePack("data/sfx.pkf", wavs);
        for (const char* name : sounds) freeSlots(), PlaySound(name), soundLength[name] = channels[0].len;
        const struct { const char* name; int32_t looks, w, h, frames; } looks[] = {
            {"wybuch01.bmp", 4, 128, 128, 4}, {"bzykolot.bmp", 3, 80, 80, 4}, {"granat.bmp", 2, 20, 20, 4},
            {"airstrike.bmp", 1, 12, 28, 4},  {"kurczak.bmp", 1, 64, 48, 4},  {"meteor.bmp", 1, 40, 40, 4},
            {"particle.bmp", 6, 8, 8, 4},     {"drop.bmp", 1, 20, 20, 4},     {"iskra.bmp", 2, 4, 4, 4},
            {"energia.bmp", 2, 6, 6, 4},      {"krew.bmp", 2, 4, 4, 4},       {"hiscores.bmp", 1, 522, 266, 1},
            {"menu_start.bmp", 1, 32, 96, 2}, {"menu_wyniki.bmp", 1, 32, 96, 2}, {"menu_koniec.bmp", 1, 32, 96, 2}};
        for (const auto& l : looks) paint((sprites[l.name] = std::make_unique<Sprite>()).get(), l.looks, l.w, l.h, l.frames);
        cursorSheet = cursorSprite = makeSprite(12, 12, 24, 1, false), halfCursorAnims = 6;
        flySheet = flySprite = makeSprite(64, 10, 10, 4);
        for (Sprite*& icon : weaponIcons) icon = makeSprite(3, 30, 30);
        hudText = Text(0, 0, plainSprite(95, 8, 16), "", 96, 12, 0);
    }

    void SetUp() override {
        ASSERT_NE(screen, nullptr) << SDL_GetError();
        static const std::vector<Anim> cursorLooks = cursorSprite->anims;
        cursorSprite->anims = cursorLooks;
        running = true, putMouse(W / 2, H / 2), resetRound();
        gameState = StatePlay, fireDelay = weaponDelay = cursorAnim = 0;
        freeSlots(), resetDirty(), blank(), roundRng.seed(1), frameInput = FrameInput(), endWatch();
    }
};

}  // namespace gamefix
