// A small world for the weapon and arsenal tests: a dummy-driver screen,
// hand-made sprites under the names the weapons look up, and a sound pack whose
// WAVs differ in length, so a busy mixer slot (none drains without an audio
// device) tells which sound started.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "media/sound.h"
#include "testutil.h"
#include "worldfix.h"

namespace weaponfix {

// Gives `s` `count` looks of w x h (hot spot in the middle); look k is filled with red 0x10 * (k + 1).
inline Sprite* paint(Sprite* s, int32_t count, int32_t w, int32_t h, int32_t frames = 4) {
    s->bitmap = SDL_CreateRGBSurface(SDL_SWSURFACE, w * frames, h * count, 32, 0xff0000, 0xff00, 0xff, 0);
    for (int32_t k = 0; k < count; ++k) {
        s->anims.push_back(Anim{frames, 0, k * h, w, h, w / 2, h / 2, 100, 0});
        SDL_Rect row{0, static_cast<Sint16>(k * h), static_cast<Uint16>(w * frames), static_cast<Uint16>(h)};
        SDL_FillRect(s->bitmap, &row, SDL_MapRGB(s->bitmap->format, static_cast<Uint8>(0x10 * (k + 1)), 0x80, 0x80));
    }
    return s;
}

// A painted sprite kept to the end of the process, as the lists' destructors still draw on it.
inline Sprite* makeSprite(int32_t count, int32_t w, int32_t h, int32_t frames = 4) {
    static auto* keep = new std::vector<std::unique_ptr<Sprite>>;
    return paint(keep->emplace_back(std::make_unique<Sprite>()).get(), count, w, h, frames);
}

// A mono 8-bit 11025 Hz WAV of `samples` samples.
inline std::string tinyWav(uint32_t samples) {
    std::string w;
    auto put = [&w](uint32_t v, int bytes) { for (int i = 0; i < bytes; ++i) w.push_back(static_cast<char>(v >> (8 * i))); };
    w += "RIFF", put(36 + samples, 4), w += "WAVEfmt ", put(16, 4), put(1, 2), put(1, 2);
    put(11025, 4), put(11025, 4), put(1, 2), put(8, 2), w += "data", put(samples, 4);
    for (uint32_t i = 0; i < samples; ++i) w.push_back(static_cast<char>(i % 2 ? 0x20 : 0xe0));
    return w;
}

inline std::map<std::string, int32_t> soundLength;  // converted length of each test sound

// Busy slots holding the sound `name`.
inline int started(const std::string& name) {
    int n = 0;
    for (const SoundChannel& c : channels) n += c.pos < c.len && c.len == soundLength[name];
    return n;
}

inline void freeSlots() {
    for (SoundChannel& c : channels) c.pos = c.len;
}

template <class T>
std::vector<T*> all() {
    std::vector<T*> out;
    for (auto& w : weapons)
        if (auto* t = dynamic_cast<T*>(w.get())) out.push_back(t);
    return out;
}

using worldfix::liveFly;

// Screen, sound pack (in a folder removed at exit) and sprites once per process;
// the lists and the arsenal afresh for every test.
class World : public ::testing::Test {
protected:
    static constexpr int32_t W = 640, H = 480;

    static void SetUpTestSuite() {
        SDL_Init(SDL_INIT_VIDEO);
        screen = SDL_SetVideoMode(W, H, 32, 0);
        maxUpdates = 200000;
        dirtyRects.resize(maxUpdates);
        static const std::string dir = std::filesystem::absolute(testutil::tempDir("weapons")).string();
        std::filesystem::create_directory(dir + "/data");
        std::filesystem::current_path(dir);
        std::atexit([] { std::error_code ignored; std::filesystem::remove_all(dir, ignored); });
        const char* sounds[] = {"explosion00.wav", "flame.wav", "fireball.wav", "boing.wav", "drop.wav", "flybuzz.wav"};
        std::vector<testutil::PackEntry> wavs;
        for (const char* name : sounds) wavs.push_back({name, tinyWav(48 + 8 * static_cast<uint32_t>(wavs.size()))});
        testutil::writePack("data/sfx.pkf", wavs);
        for (const char* name : sounds) {
            freeSlots();
            PlaySound(name);
            for (const SoundChannel& c : channels)
                if (c.pos < c.len) soundLength[name] = c.len;
        }
        const struct { const char* name; int32_t count, w, h; } looks[] = {
            {"wybuch01.bmp", 4, 128, 128}, {"bzykolot.bmp", 3, 80, 80}, {"granat.bmp", 2, 20, 20},
            {"airstrike.bmp", 1, 12, 28},  {"kurczak.bmp", 1, 64, 48},  {"meteor.bmp", 1, 40, 40},
            {"particle.bmp", 6, 8, 8},     {"drop.bmp", 1, 20, 20},     {"iskra.bmp", 2, 4, 4},
            {"energia.bmp", 2, 6, 6}};
        for (const auto& l : looks) paint((sprites[l.name] = std::make_unique<Sprite>()).get(), l.count, l.w, l.h);
        cursorSprite = makeSprite(12, 12, 24, 1);
        for (Sprite*& icon : weaponIcons) icon = makeSprite(3, 30, 30, 1);
        hudText = Text(0, 0, makeSprite(95, 8, 16, 1), "", 96, 12, 0);
    }

    void SetUp() override {
        ASSERT_NE(screen, nullptr) << SDL_GetError();
        static const std::vector<Anim> cursorLooks = cursorSprite->anims;
        cursorSprite->anims = cursorLooks;
        clearObjects();
        freeSlots();
        resetArsenal();
        fireDelay = weaponDelay = 0;
        health = 6;
        resetKills();
        roundTicks = 0;
        mouseX = W / 2;
        mouseY = H / 2;
        dirtyCount = cursorAnim = 0;
        fullUpdate = false;
    }
};

}  // namespace weaponfix
