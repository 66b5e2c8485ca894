// A small world for the rules' tests, with no screen: hand-made sheets under
// the names the rules look up, a 640 x 480 playfield, and a sink that keeps
// what the rules announce (boxes marked, sounds started).
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>

#include "base/rng.h"
#include "testutil.h"
#include "world/arsenal.h"
#include "world/fx.h"
#include "world/objects.h"
#include "world/round.h"
#include "world/weapon.h"

namespace worldfix {

constexpr int W = 640, H = 480;
const Vec2 kZero{0.0f, 0.0f};

// What the rules announced since the last reset.
struct Seen : WorldFx {
    std::vector<std::array<int32_t, 4>> marks;
    std::vector<std::string> sounds;
    bool whole = false;
    void mark(int32_t x, int32_t y, int32_t w, int32_t h) override { marks.push_back({x, y, w, h}); }
    void gone(int32_t, int32_t, int32_t, int32_t) override {}
    void sound(const char* name) override { sounds.push_back(name); }
    void wholeScreen() override { whole = true; }
};
inline Seen seen;

inline void resetDirty() { seen.marks.clear(), seen.whole = false; }
// Whether the box (x, y, w, h) was marked since the last reset.
inline bool marked(int32_t x, int32_t y, int32_t w, int32_t h) {
    return std::count(seen.marks.begin(), seen.marks.end(), std::array<int32_t, 4>{x, y, w, h}) > 0;
}
// Times the sound `name` started since the last freeSlots.
inline int started(const std::string& name) { return int(std::count(seen.sounds.begin(), seen.sounds.end(), name)); }
inline void freeSlots() { seen.sounds.clear(); }

// `looks` animations of `frames` frames, w x h, hot spot in the middle or at the corner.
inline Sheet* paint(Sheet* s, int32_t looks, int32_t w, int32_t h, int32_t frames = 1, bool centred = true) {
    s->anims.clear();
    for (int32_t k = 0; k < looks; ++k) s->anims.push_back(Anim{frames, 0, k * h, w, h, centred ? w / 2 : 0, centred ? h / 2 : 0, 100, 0});
    return s;
}
// A sheet kept to the end of the process: the lists' objects point into it.
inline Sheet* makeSprite(int32_t looks, int32_t w, int32_t h, int32_t frames = 1, bool centred = true) {
    static auto* keep = new std::vector<std::unique_ptr<Sheet>>;
    return paint(keep->emplace_back(std::make_unique<Sheet>()).get(), looks, w, h, frames, centred);
}
inline Sheet* plainSprite(int32_t count, int32_t w = 4, int32_t h = 4) { return makeSprite(count, w, h, 1, false); }

// The sheets the rules find by name.
inline std::map<std::string, Sheet>& named() {
    static auto* sheets = new std::map<std::string, Sheet>;
    return *sheets;
}
inline Sheet* namedSheet(const std::string& name) {
    const auto it = named().find(name);
    return it == named().end() ? nullptr : &it->second;
}

// The next n numbers the round's generator gives after seed(seed), which it is then seeded with again.
inline std::vector<int> rolls(unsigned seed, int n) {
    std::vector<int> r(static_cast<size_t>(n));
    roundRng.seed(seed), std::generate(r.begin(), r.end(), roll), roundRng.seed(seed);
    return r;
}

// Expects p to fly as a particle thrown at `degrees` and `speed` from where it
// started, after `moves` updates.
inline void expectFlight(const Particle& p, double degrees, double speed, int moves = 0) {
    Particle ref(p.sprite, 0, 0, p.accel, p.drag, float(degrees), float(speed), 100);
    for (int i = 0; i < moves; ++i) ref.move();
    EXPECT_TRUE(std::abs(p.vel.x - ref.vel.x) < 2e-3f && std::abs(p.vel.y - ref.vel.y) < 2e-3f)
        << degrees << " degrees at " << speed << ": " << p.vel.x << "," << p.vel.y << " for " << ref.vel.x << "," << ref.vel.y;
}

template <class T>
std::vector<T*> all() {
    std::vector<T*> out;
    for (auto& w : weapons)
        if (auto* t = dynamic_cast<T*>(w.get())) out.push_back(t);
    return out;
}

inline void putMouse(int32_t x, int32_t y) { mouseX = x, mouseY = y; }

// A living fly in `flies` (10 x 10 looks, hot spot in the middle), maxSpeed 2.
inline Mucha* liveFly(float x, float y, int32_t hp = 50) {
    auto f = std::make_unique<Mucha>(0, 0, 0, flySheet, gravity, drag);
    f->x = x, f->y = y, f->hp = hp, f->maxSpeed = 2;
    return addFly(std::move(f)) ? flies.back().get() : nullptr;
}

// Sheets and the sink once per process; a fresh round with the pointer at the
// centre and the generator seeded with 1 for every test.
class World : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fieldW = W, fieldH = H, worldFx = &seen, sheetSource = namedSheet;
        const struct { const char* name; int32_t looks, w, h, frames; } looks[] = {
            {"wybuch01.bmp", 4, 128, 128, 4}, {"bzykolot.bmp", 3, 80, 80, 4}, {"granat.bmp", 2, 20, 20, 4},
            {"airstrike.bmp", 1, 12, 28, 4},  {"kurczak.bmp", 1, 64, 48, 4},  {"meteor.bmp", 1, 40, 40, 4},
            {"particle.bmp", 6, 8, 8, 4},     {"drop.bmp", 1, 20, 20, 4},     {"iskra.bmp", 2, 4, 4, 4},
            {"energia.bmp", 2, 6, 6, 4},      {"krew.bmp", 2, 4, 4, 4}};
        for (const auto& l : looks) paint(&named()[l.name], l.looks, l.w, l.h, l.frames);
        cursorSheet = makeSprite(12, 12, 24, 1, false), halfCursorAnims = 6;
        flySheet = makeSprite(64, 10, 10, 4);
    }

    void SetUp() override {
        static const std::vector<Anim> cursorLooks = cursorSheet->anims;
        cursorSheet->anims = cursorLooks;
        newRound(W / 2, H / 2);
        fireDelay = weaponDelay = cursorAnim = 0;
        freeSlots(), resetDirty(), roundRng.seed(1);
    }
};

}  // namespace worldfix
