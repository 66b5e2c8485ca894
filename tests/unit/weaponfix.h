// A small world for the weapon and arsenal tests: a dummy-driver screen,
// hand-made sprites under the names the weapons look up, a sound pack of tiny
// WAVs (busy mixer slots count the sounds started, as no audio device runs),
// and a walk of the weapons list like the world pass's.
#pragma once
#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/arsenal.h"
#include "core/game.h"
#include "core/input.h"
#include "core/round.h"
#include "media/sound.h"
#include "media/sprite.h"
#include "testutil.h"
#include "world/dirty.h"
#include "world/objects.h"
#include "world/weapon.h"

namespace weaponfix {

// A sprite of `count` animations of one size, each `frames` frames, with an
// opaque bitmap whose animation k is filled with colour 0x10 * (k + 1) in red.
inline Sprite* makeSprite(int32_t count, int32_t w, int32_t h, int32_t hotX, int32_t hotY,
                          int32_t frames = 4) {
    auto* s = new Sprite;
    SDL_Surface* bmp = SDL_CreateRGBSurface(SDL_SWSURFACE, w * frames, h * count, 32, 0x00ff0000,
                                            0x0000ff00, 0x000000ff, 0);
    for (int32_t k = 0; k < count; ++k) {
        s->anims.push_back(Anim{frames, 0, k * h, w, h, hotX, hotY, 100, 0});
        SDL_Rect row{0, static_cast<Sint16>(k * h), static_cast<Uint16>(w * frames), static_cast<Uint16>(h)};
        SDL_FillRect(bmp, &row, SDL_MapRGB(bmp->format, static_cast<Uint8>(0x10 * (k + 1)), 0x80, 0x80));
    }
    s->bitmap = bmp;
    return s;
}

// A mono 8-bit WAV of `samples` non-silent samples.
inline std::string tinyWav(uint32_t samples) {
    std::string w = "RIFF";
    auto put32 = [&w](uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<char>(v >> (8 * i))); };
    auto put16 = [&w](uint16_t v) { w.push_back(static_cast<char>(v)); w.push_back(static_cast<char>(v >> 8)); };
    put32(36 + samples);
    w += "WAVEfmt ";
    put32(16);
    put16(1);      // PCM
    put16(1);      // mono
    put32(11025);  // rate
    put32(11025);  // bytes per second
    put16(1);      // block
    put16(8);      // bits
    w += "data";
    put32(samples);
    for (uint32_t i = 0; i < samples; ++i) w.push_back(static_cast<char>(i % 2 ? 0x20 : 0xe0));
    return w;
}

// Mixer slots holding a started sound (nothing drains them in the tests).
inline int busySlots() {
    int n = 0;
    for (const SoundChannel& c : channels) n += c.pos < c.len;
    return n;
}

// Converted length of each sound of the test pack, to tell them apart.
inline std::map<std::string, int32_t>& soundLengths() {
    static std::map<std::string, int32_t> lengths;
    return lengths;
}

// Busy slots holding the sound `name`.
inline int started(const std::string& name) {
    int n = 0;
    for (const SoundChannel& c : channels) n += c.pos < c.len && c.len == soundLengths()[name];
    return n;
}

inline void freeSlots() {
    for (SoundChannel& c : channels) c.pos = c.len;
}

// One weapons walk as the world pass makes it: finished ones removed, the
// others moved, and weapons appended meanwhile reached in the same walk.
inline void walkWeapons() {
    for (auto it = weapons.begin(); it != weapons.end();) {
        if ((*it)->finished) {
            it = weapons.erase(it);
        } else {
            (*it)->move();
            ++it;
        }
    }
}

template <class T>
inline std::vector<T*> all() {
    std::vector<T*> out;
    for (auto& w : weapons) {
        if (auto* t = dynamic_cast<T*>(w.get())) out.push_back(t);
    }
    return out;
}

// A living fly at (x, y) with hp, built as the spawner builds one.
inline Mucha* addLivingFly(float x, float y, int32_t hp = 50) {
    auto fly = std::make_unique<Mucha>(0, 0, 0, flySprite, gravity, drag, false);
    fly->x = x;
    fly->y = y;
    fly->hp = hp;
    fly->maxSpeed = 2;
    Mucha* raw = fly.get();
    addFly(std::move(fly));
    return raw;
}

constexpr const char* kSounds[] = {"explosion00.wav", "flame.wav", "fireball.wav", "boing.wav",
                                   "drop.wav", "flybuzz.wav", "hit.wav"};

class World : public ::testing::Test {
protected:
    static constexpr int32_t W = 640;
    static constexpr int32_t H = 480;

    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        screen = SDL_SetVideoMode(W, H, 32, 0);
        ASSERT_NE(screen, nullptr) << SDL_GetError();
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        home_ = cwd;
        dir_ = testutil::tempDir("weapons");
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        mkdir("data", 0755);
        // Each sound a different length, so a busy slot tells which one started.
        std::vector<testutil::PackEntry> wavs;
        uint32_t samples = 40;
        for (const char* name : kSounds) wavs.push_back({name, tinyWav(samples += 8)});
        testutil::writePack("data/sfx.pkf", wavs);
        freeSlots();
        for (const char* name : kSounds) {
            PlaySound(name);
            ASSERT_EQ(busySlots(), 1) << name;
            for (const SoundChannel& c : channels)
                if (c.pos < c.len) soundLengths()[name] = c.len;
            freeSlots();
        }
        rects_.assign(200000, SDL_Rect{});
        dirtyRects = rects_.data();
        maxUpdates = static_cast<int32_t>(rects_.size());
        dirtyCount = 0;
        fullUpdate = false;
        const char* names[] = {"wybuch01.bmp", "bzykolot.bmp", "granat.bmp", "airstrike.bmp", "kurczak.bmp",
                               "meteor.bmp", "particle.bmp", "drop.bmp", "iskra.bmp", "energia.bmp",
                               "krew.bmp"};
        const int32_t geometry[][5] = {{4, 128, 128, 64, 64}, {3, 80, 80, 40, 40}, {2, 20, 20, 10, 10},
                                       {1, 12, 28, 6, 14},    {1, 64, 48, 32, 24}, {1, 40, 40, 20, 20},
                                       {6, 8, 8, 4, 4},       {1, 20, 20, 10, 10}, {2, 4, 4, 2, 2},
                                       {2, 6, 6, 3, 3},       {2, 6, 6, 3, 3}};
        for (size_t i = 0; i < sizeof names / sizeof *names; ++i) {
            const int32_t* g = geometry[i];
            sprites[names[i]] = makeSprite(g[0], g[1], g[2], g[3], g[4]);
        }
        flySprite = sprites["mucha01.bmp"] = makeSprite(64, 24, 24, 12, 12, 2);
        cursorSprite = sprites["kursor.bmp"] = makeSprite(12, 12, 24, 0, 0, 1);
        for (int i = 0; i < 6; ++i) {
            const std::string name = "wep_" + std::to_string(i);
            weaponIcons[i] = sprites[name] = makeSprite(3, 30, 30, 15, 15, 1);
        }
        sprites["font_00.bmp"] = makeSprite(95, 8, 16, 0, 0, 1);
        hudText = Text(0, 0, sprites["font_00.bmp"], "", 96, 12, 0);
        clearObjects();
        freeSlots();
        resetArsenal();
        fireDelay = 0;
        weaponDelay = 0;
        health = 6;
        kills = 0;
        roundTicks = 0;
        mouseX = W / 2;
        mouseY = H / 2;
        cursorAnim = 0;
        gameState = StatePlay;
        running = true;
    }

    void TearDown() override {
        clearObjects();
        for (auto& entry : sprites) {
            if (!entry.second) continue;
            SDL_FreeSurface(entry.second->bitmap);
            delete entry.second;
        }
        sprites.clear();
        dirtyRects = nullptr;
        ASSERT_EQ(chdir(home_.c_str()), 0);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        SDL_Quit();
        screen = nullptr;
    }

    std::string home_;
    std::string dir_;
    std::vector<SDL_Rect> rects_;
};

}  // namespace weaponfix
