// The round: counters, reset, the play block with fly spawning, and the world
// pass with the game's rules for flies, particles and pick-ups.
#include "game/round.h"

#include <SDL/SDL.h>
#include <cmath>
#include <cstdlib>

#include "game/arsenal.h"
#include "game/cursor.h"
#include "game/game.h"
#include "game/menu.h"
#include "game/roundend.h"
#include "media/dirty.h"
#include "media/sound.h"
#include "media/sprite.h"
#include "media/video.h"
#include "world/objects.h"
#include "world/weapon.h"

int32_t health = kFullHealth;
int32_t roundTicks = 0;
Sprite* flySprite = nullptr;

void resetRound() {
    resetArsenal();  // empty stock, nothing armed, ring closed, both delays -1
    gameState = StateMenu;
    health = kFullHealth;
    resetKills();
    roundTicks = 0;
    menuChoice = -1;

    SDL_WarpMouse(static_cast<Uint16>(screen->w / 2), static_cast<Uint16>(screen->h / 2));
    SDL_GetMouseState(&mouseX, &mouseY);

    clearObjects();
}

void startRound() {
    resetRound();
    fullUpdate = true;
    gameState = StatePlay;
}

int32_t spawnInterval(int32_t killCount) {
    int32_t interval = 60 - killCount / 5;
    return interval < 10 ? 10 : interval;
}

void spawnFly() {
    int32_t x, y;
    // The order of the rand() calls is part of the rule.
    if (rand() & 1) {
        x = rand() % screen->w;
        y = (rand() % 2) * (screen->h + 64) - 32;
    } else {
        x = (rand() % 2) * (screen->w + 64) - 32;
        y = rand() % screen->h;
    }
    auto fly = std::make_unique<Mucha>(0, x, y, flySprite, gravity, drag, false);
    fly->hp = roundTicks / 60 + 50;
    fly->angle = static_cast<float>((rand() % 360) * kPi / 180);
    fly->speed = 0;
    fly->maxSpeed = static_cast<float>(kills / 70 + 2);
    fly->stunned = false;
    addFly(std::move(fly));
}

void playFrame() {
    // The frame that finds the round lost still spawns if the clock says so.
    if (health < 1) {
        startRoundEnd();
    } else {
        roundTicks += 1;
    }
    if (roundTicks % spawnInterval(kills) == 0) spawnFly();
}

// Five blood particles thrown roughly along the fly's velocity.
static void bleed(const Mucha& fly) {
    Sprite* blood = findSprite("krew.bmp");
    for (int i = 0; i < 5; ++i) {
        int r1 = rand();
        int r2 = rand();
        double angle = atan2(static_cast<double>(fly.vel.x), static_cast<double>(fly.vel.y)) * 180 / kPi +
                       (r2 % 20) - 10;
        double speed = (r1 % 20) / 10.0 + 0.5;
        addParticle(Particle(blood, static_cast<int32_t>(fly.x), static_cast<int32_t>(fly.y),
                             gravity, drag, static_cast<float>(angle), static_cast<float>(speed),
                             50));
    }
}

bool cursorTouchesFly(const Mucha& fly) {
    if (fly.anim == nullptr || cursorSprite == nullptr) return false;
    if (cursorAnim < 0 || cursorAnim >= animCount(cursorSprite)) return false;
    const Anim& c = cursorSprite->anims[cursorAnim];
    return boxesOverlap(static_cast<float>(mouseX - c.hotX), static_cast<float>(mouseY - c.hotY),
                        static_cast<float>(c.w), static_cast<float>(c.h),
                        fly.x - static_cast<float>(fly.anim->hotX),
                        fly.y - static_cast<float>(fly.anim->hotY),
                        static_cast<float>(fly.anim->w), static_cast<float>(fly.anim->h));
}

// A living fly reached the cursor: a point of health for a kill worth two.
static void sting(Mucha& fly) {
    PlaySound("hit.wav");
    if (health > 0) health -= 1;
    int r1 = rand();
    int r2 = rand();
    Particle hit(cursorSprite, mouseX, mouseY, gravity, drag, static_cast<float>(r2 % 360),
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
        if (fly.y > screen->h + 64) {
            it = flies.erase(it);
            continue;
        }
        fly.move();
        fly.draw();
        if (0 < fly.x && fly.x < screen->w && fly.y > 0 && fly.hitsOtherFly()) {
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
        if (before == 0 || p.y > screen->h + 32) {
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
        p.draw();
        ++it;
    }
}

static void dropsWalk() {
    for (auto it = drops.begin(); it != drops.end();) {
        WeaponDrop& d = *it;
        d.move();
        if (d.y > screen->h + 32) {
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
        d.draw();
        ++it;
    }
}

void worldPass() {
    weaponsWalk();
    fliesWalk();
    particlesWalk();
    dropsWalk();
}
