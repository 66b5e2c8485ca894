// The round: counters, a new round, the play block with fly spawning, the world
// pass with the game's rules for flies, particles and pick-ups, and the pointer.
#include "world/round.h"

#include <cmath>

#include "base/portmath.h"
#include "base/rng.h"
#include "world/arsenal.h"
#include "world/fx.h"
#include "world/objects.h"
#include "world/weapon.h"

int32_t health = kFullHealth;
int32_t roundTicks = 0;
Sheet* flySheet = nullptr;
int32_t mouseX = 0, mouseY = 0;
int32_t cursorAnim = 0;
Sheet* cursorSheet = nullptr;
int32_t halfCursorAnims = 0;

void newRound(int32_t px, int32_t py) {
    resetArsenal();  // empty stock, nothing armed, ring closed, both delays -1
    health = kFullHealth;
    resetKills();
    roundTicks = 0;
    mouseX = px;
    mouseY = py;
    clearObjects();
}

int32_t spawnInterval(int32_t killCount) {
    int32_t interval = 60 - killCount / 5;
    return interval < 10 ? 10 : interval;
}

void spawnFly() {
    int32_t x, y;
    // The order of the rolls is part of the rule.
    if (roll() & 1) {
        x = roll() % fieldW;
        y = (roll() % 2) * (fieldH + 64) - 32;
    } else {
        x = (roll() % 2) * (fieldW + 64) - 32;
        y = roll() % fieldH;
    }
    auto fly = std::make_unique<Mucha>(0, x, y, flySheet, gravity, drag, false);
    fly->hp = roundTicks / 60 + 50;
    fly->angle = static_cast<float>((roll() % 360) * kPi / 180);
    fly->speed = 0;
    fly->maxSpeed = static_cast<float>(kills / 70 + 2);
    fly->stunned = false;
    addFly(std::move(fly));
}

bool playBlock() {
    const bool lost = health < 1;
    // The frame that finds the round lost still spawns if the clock says so.
    if (!lost) roundTicks += 1;
    if (roundTicks % spawnInterval(kills) == 0) spawnFly();
    return lost;
}

// Five blood particles thrown roughly along the fly's velocity.
static void bleed(const Mucha& fly) {
    Sheet* blood = findSheet("krew.bmp");
    for (int i = 0; i < 5; ++i) {
        int r1 = roll();
        int r2 = roll();
        double angle = portableAtan2(static_cast<double>(fly.vel.x), static_cast<double>(fly.vel.y)) * 180 / kPi +
                       (r2 % 20) - 10;
        double speed = (r1 % 20) / 10.0 + 0.5;
        addParticle(Particle(blood, static_cast<int32_t>(fly.x), static_cast<int32_t>(fly.y),
                             gravity, drag, static_cast<float>(angle), static_cast<float>(speed),
                             50));
    }
}

bool cursorTouchesFly(const Mucha& fly) {
    if (fly.anim == nullptr || cursorSheet == nullptr) return false;
    if (cursorAnim < 0 || cursorAnim >= animCount(cursorSheet)) return false;
    const Anim& c = cursorSheet->anims[cursorAnim];
    return boxesOverlap(static_cast<float>(mouseX - c.hotX), static_cast<float>(mouseY - c.hotY),
                        static_cast<float>(c.w), static_cast<float>(c.h),
                        fly.x - static_cast<float>(fly.anim->hotX),
                        fly.y - static_cast<float>(fly.anim->hotY),
                        static_cast<float>(fly.anim->w), static_cast<float>(fly.anim->h));
}

// A living fly reached the cursor: a point of health for a kill worth two.
static void sting(Mucha& fly) {
    fxSound("hit.wav");
    if (health > 0) health -= 1;
    int r1 = roll();
    int r2 = roll();
    Particle hit(cursorSheet, mouseX, mouseY, gravity, drag, static_cast<float>(r2 % 360),
                 static_cast<float>((r1 % 20) / 10.0 + 0.5), 200);
    hit.setAnim(static_cast<uint32_t>(cursorAnim));
    addParticle(hit);
    fly.setHP(0);
    countKill();
}

void weaponsWalk() {
    // end() is re-read every step, so weapons appended by a weapon's move
    // (a bomb's explosion, say) move in this same walk.
    for (auto it = weapons.begin(); it != weapons.end();) {
        if ((*it)->finished) {
            it = weapons.erase(it);
        } else {
            (*it)->shown = false;
            (*it)->move();
            ++it;
        }
    }
}

static void fliesWalk() {
    for (auto it = flies.begin(); it != flies.end();) {
        Mucha& fly = **it;
        if (health < 1) {
            fly.setHP(0);
            fly.stun(-1);
        }
        if (fly.y > fieldH + 64) {
            it = flies.erase(it);
            continue;
        }
        fly.move();
        fly.animate();
        if (0 < fly.x && fly.x < fieldW && fly.y > 0 && fly.hitsOtherFly()) {
            bleed(fly);
            fly.stun(-1);
        } else if (fly.getHP() > 0) {
            if (cursorTouchesFly(fly)) sting(fly);
        } else if (!fly.isStunned()) {
            // A dead fly's stun never runs out, so this marks it handled.
            fly.stun(-1);
            dropRoll(fly.x, fly.y);
        }
        ++it;
    }
}

static void particlesWalk() {
    for (auto it = particles.begin(); it != particles.end();) {
        Particle& p = *it;
        p.move();
        float before = p.life;
        p.life -= 1;
        if (before == 0 || p.y > fieldH + 32) {
            it = particles.erase(it);
            continue;
        }
        // Once in its life, switch to the ending animation so that it plays
        // out over the last frames.
        if (!p.advanced && p.sprite != nullptr && p.animIndex + 1 < animCount(p.sprite)) {
            const Anim& next = p.sprite->anims[p.animIndex + 1];
            if (p.life == static_cast<float>(next.frames - 1)) {
                p.advanced = true;
                p.setAnim(p.animIndex + 1u);
                p.frame = 0;
                p.frameTime = 0;
            }
        }
        p.animate();
        ++it;
    }
}

static void dropsWalk() {
    for (auto it = drops.begin(); it != drops.end();) {
        WeaponDrop& d = *it;
        d.move();
        if (d.y > fieldH + 32) {
            it = drops.erase(it);
            continue;
        }
        if (d.pickupDelay > 0) {
            d.pickupDelay -= 1;
        } else if (cursorTouches(d)) {
            pickUp(d);
            it = drops.erase(it);
            continue;
        }
        d.animate();
        ++it;
    }
}

void worldRules() {
    weaponsWalk();
    fliesWalk();
    particlesWalk();
    dropsWalk();
}

// ---- The pointer -----------------------------------------------------------------

void leaveTrail(int32_t ox, int32_t oy, int32_t nx, int32_t ny) {
    fxMark(nx, ny, 12, 24);
    double dx = ox - nx;
    double dy = oy - ny;
    double distance = sqrt(dx * dx + dy * dy);
    // Particles count angles with y pointing up, hence oy - ny.
    double angle = portableAtan2(static_cast<double>(oy - ny), static_cast<double>(nx - ox)) * kRadToDeg;
    Particle trail(cursorSheet, ox, oy, gravity, drag, static_cast<float>(angle),
                   static_cast<float>(distance / 5), 20);
    trail.setAnim(static_cast<uint32_t>(cursorAnim));
    addParticle(trail);
}

void pointerStep(int32_t x, int32_t y) {
    fxMark(mouseX, mouseY, 12, 24);
    const int32_t ox = mouseX, oy = mouseY;
    mouseX = x;
    mouseY = y;
    if (mouseX != ox || mouseY != oy) leaveTrail(ox, oy, mouseX, mouseY);
}

int32_t cursorLook(int32_t hp, int32_t half, int32_t count) {
    int32_t look = 2 * (half - hp);
    return look > count - 2 ? count - 2 : look;
}

void lookStep() { cursorAnim = cursorLook(health, halfCursorAnims, animCount(cursorSheet)); }
