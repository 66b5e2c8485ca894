#include "world/roundplay.h"

#include <cstdio>

#include "base/hash.h"
#include "base/replay.h"
#include "base/rng.h"
#include "base/sheet.h"
#include "world/arsenal.h"
#include "world/objects.h"
#include "world/round.h"
#include "world/weapon.h"

static const PackSheets* pack = nullptr;

static Sheet* fromPack(const std::string& name) { return pack ? pack->find(name) : nullptr; }

void useSheets(const PackSheets& sheets, int32_t w, int32_t h) {
    pack = &sheets;
    sheetSource = fromPack;
    fieldW = w;
    fieldH = h;
    flySheet = findSheet("mucha01.bmp");
    cursorSheet = findSheet("kursor.bmp");
    halfCursorAnims = animCount(cursorSheet) / 2;
}

// What a frame's rules do after its state's block, in the game's order.
static void frameTail(const PlayerInput& in) {
    worldRules();
    delayStep();
    ringStep(in.right(), in.left());
    lookStep();
}

void beginRound(uint32_t seed, const PlayerInput& first) {
    roundRng.seed(seed);
    newRound(first.x, first.y);
    frameTail(first);
}

bool roundFrame(const PlayerInput& in) {
    pointerStep(in.x, in.y);
    const bool lost = playBlock();
    if (!lost) fireStep(in.left());
    frameTail(in);
    return lost;
}

uint32_t worldChecksum() {
    Hash h;
    h.add(health), h.add(kills), h.add(roundTicks), h.add(mouseX), h.add(mouseY), h.add(cursorAnim);
    for (int32_t n : ammo) h.add(n);
    h.add(selectedWeapon), h.add(hoverWeapon), h.add(ringOpen);
    // Where a closed ring was last is no rule's business (a new round keeps it).
    if (ringOpen) h.add(ringX), h.add(ringY);
    h.add(fireDelay), h.add(weaponDelay);
    for (int32_t word : roundRng.state) h.add(word);
    h.add(roundRng.front), h.add(roundRng.rear);
    h.add(static_cast<uint32_t>(weapons.size()));
    for (const auto& w : weapons) w->hashInto(h);
    h.add(static_cast<uint32_t>(flies.size()));
    for (const auto& f : flies) f->hashInto(h);
    h.add(static_cast<uint32_t>(particles.size()));
    for (const Particle& p : particles) p.hashInto(h);
    h.add(static_cast<uint32_t>(drops.size()));
    for (const WeaponDrop& d : drops) d.hashInto(h);
    return h.value();
}

static std::string hex8(uint32_t v) {
    char s[16];
    snprintf(s, sizeof s, "%08x", v);
    return s;
}

ReplayCheck checkReplay(const Replay& r, const PackSheets& pack) {
    ReplayCheck c;
    useSheets(pack, r.width, r.height);
    const size_t n = r.frames.size();
    size_t next = 0;  // the next checksum
    bool lost = false;
    for (size_t i = 0; i < n && c.difference.empty(); ++i) {
        if (i == 0)
            beginRound(r.seed, r.frames[0]);
        else
            lost = roundFrame(r.frames[i]);
        c.frames = static_cast<int32_t>(i + 1);
        if (lost && i + 1 < n) c.difference = "frame " + std::to_string(i) + ": the round ends here, the recording goes on to frame " + std::to_string(n - 1);
        if (next < r.checksums.size() && checksumFrame(next, n) == i) {
            const uint32_t sum = worldChecksum();
            if (sum != r.checksums[next])
                c.difference = "frame " + std::to_string(i) + ": checksum " + hex8(sum) + ", recorded " + hex8(r.checksums[next]);
            ++next;
        }
    }
    c.flies = kills;
    c.time = roundTicks;
    if (c.difference.empty() && !lost) c.difference = "frame " + std::to_string(n - 1) + ": the round is not over at the recording's end";
    if (c.difference.empty() && (c.flies != r.flies || c.time != r.time))
        c.difference = "frame " + std::to_string(n - 1) + ": score " + std::to_string(c.flies) + " flies in " + std::to_string(c.time) +
                       " frames, recorded " + std::to_string(r.flies) + " in " + std::to_string(r.time);
    c.match = c.difference.empty();
    return c;
}

Replay recordRound(const PackSheets& pack, uint32_t seed, int32_t w, int32_t h,
                   const std::function<PlayerInput(int32_t frame)>& input, int32_t maxFrames) {
    Replay r;
    r.gfxDigest = rulesDigest(pack.all());
    r.width = w, r.height = h, r.seed = seed;
    useSheets(pack, w, h);
    r.frames.push_back(input(0));
    beginRound(seed, r.frames[0]);
    for (bool lost = false; !lost && r.frames.size() < size_t(maxFrames);) {
        r.frames.push_back(input(static_cast<int32_t>(r.frames.size())));
        lost = roundFrame(r.frames.back());
        if (r.frames.size() % kChecksumEvery == 0 || lost) r.checksums.push_back(worldChecksum());
    }
    r.flies = kills, r.time = roundTicks;
    return r;
}
