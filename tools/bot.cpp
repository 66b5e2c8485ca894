#include "bot.h"

#include <algorithm>
#include <cmath>

#include "base/sheet.h"
#include "world/arsenal.h"
#include "world/objects.h"
#include "world/round.h"
#include "world/roundplay.h"

namespace {

int32_t peak = 0;
std::string firedKinds;

// Arming a weapon from the ring, one step a frame.
enum class Arming { None, Open, Move, Press, Release, Close, Fire };

// Distance from (x, y) to the nearest living fly where it will be next frame.
double danger(double x, double y) {
    double best = 1e9;
    for (const auto& f : flies)
        if (f->getHP() >= 1) best = std::min<double>(best, std::hypot(f->x - f->vel.x - x, f->y + f->vel.y - y));
    return best;
}

class Bot {
public:
    explicit Bot(const BotOptions& o) : o_(o) {}

    // The input of the next frame, from the world as the last frame left it.
    PlayerInput next(int32_t frame) {
        PlayerInput in;
        in.x = mouseX, in.y = mouseY;
        if (frame >= o_.surviveFrames) return in;  // it gives up: still, no button
        if (o_.hoardKills > 0 && kills >= o_.hoardKills && arming_ == Arming::None) return hoard(in);
        if (arming_ == Arming::None) chooseWeapon();
        if (arming_ != Arming::None) return arm(in);
        // The click is ready and a fly is in reach: blast where the pointer is,
        // then stay in the blast while it burns, so the flies that follow die in it.
        if (fireDelay < 1 && !ringOpen && danger(mouseX, mouseY) < 70) {
            in.buttons = kLeftButton;
            blastX_ = mouseX, blastY_ = mouseY;
            return in;
        }
        int32_t tx = blastX_, ty = blastY_;
        if (fireDelay <= kClickDelay - 30 || danger(mouseX, mouseY) <= 45) target(tx, ty);
        stepTo(in, tx, ty);
        return in;
    }

private:
    // The swarm grows: the pointer keeps to a band along the top, where knocked
    // flies tumble without falling off a tall screen, and when they come near
    // it flicks to the point of the band farthest from them.
    PlayerInput hoard(PlayerInput in) const {
        const int32_t y = 40;
        if (mouseY == y && danger(mouseX, mouseY) > 80) return in;
        // A flick of the mouse may cross the screen.
        double best = -1;
        for (int32_t x = 20; x < fieldW - 20; x += 16) {
            const double d = danger(x, y);
            if (d > best) best = d, in.x = x, in.y = y;
        }
        return in;
    }

    // A weapon in stock and the ring ready: the kinds not fired yet first.
    void chooseWeapon() {
        if (weaponDelay > 0 || selectedWeapon >= 0 || danger(mouseX, mouseY) < 100) return;
        for (int32_t pass = 0; pass < 2 && kind_ < 0; ++pass)
            for (int32_t k = 0; k < kWeaponKinds && kind_ < 0; ++k)
                if (ammo[k] > 0 && (pass == 1 || !fired_[k])) kind_ = k;
        if (kind_ >= 0) arming_ = Arming::Open;
    }

    // Right button down, onto the icon, left down and up on it, right up, fire.
    PlayerInput arm(PlayerInput in) {
        int32_t ix = 0, iy = 0;
        ringIconAt(kind_, ringX, ringY, ix, iy);
        Arming then = arming_;
        switch (arming_) {
        case Arming::Open:
            in.buttons = kRightButton, then = Arming::Move;
            break;
        case Arming::Move:
            in.buttons = kRightButton;
            stepTo(in, ix, iy);
            if (std::abs(in.x - ix) <= 3 && std::abs(in.y - iy) <= 3) then = Arming::Press;
            break;
        case Arming::Press:
            in.buttons = kRightButton | kLeftButton, then = Arming::Release;
            break;
        case Arming::Release:
            in.buttons = kRightButton, then = hoverWeapon == kind_ ? Arming::Close : Arming::None;
            break;
        case Arming::Close:
            then = selectedWeapon == kind_ ? Arming::Fire : Arming::None;
            break;
        case Arming::Fire:
            in.buttons = kLeftButton, fired_[kind_] = true, then = Arming::None;
            if (firedKinds.find(char('0' + kind_)) == std::string::npos) firedKinds += char('0' + kind_);
            break;
        case Arming::None:
            break;
        }
        arming_ = then;
        if (arming_ == Arming::None) kind_ = -1;
        return in;
    }

    // The goal: with the click ready, the middle, where the flies come to be
    // blasted; a crate whose delay is nearly over; else just away from them.
    void target(int32_t& tx, int32_t& ty) const {
        tx = mouseX, ty = mouseY;
        for (const WeaponDrop& d : drops) {
            if (d.pickupDelay > 8 || d.y < 30 || d.y > fieldH - 30 || d.x < 30 || d.x > fieldW - 30) continue;
            if (danger(d.x, d.y) < 80) continue;
            tx = static_cast<int32_t>(d.x), ty = static_cast<int32_t>(d.y);
            return;
        }
        if (fireDelay < 1) tx = fieldW / 2, ty = fieldH / 2;
    }

    // Towards (tx, ty) within the step, unless flies are near: then the
    // reachable point that keeps them farthest, off the edges.
    void stepTo(PlayerInput& in, int32_t tx, int32_t ty) const {
        double best = -1e18;
        const int32_t step = std::max(1, o_.maxStep / 2);
        auto consider = [&](int32_t x, int32_t y, double bonus) {
            x = std::clamp(x, 10, fieldW - 11), y = std::clamp(y, 10, fieldH - 11);
            const double edge = std::min({x, y, fieldW - x, fieldH - y}), near = danger(x, y);
            double score = std::min(near, 150.0) + bonus - std::hypot(x - tx, y - ty) / 4;
            if (edge < 100) score -= (100 - edge) * 2;
            if (near < 50) score -= 1000;
            if (score > best) best = score, in.x = x, in.y = y;
        };
        consider(mouseX + std::clamp(tx - mouseX, -o_.maxStep, o_.maxStep),
                 mouseY + std::clamp(ty - mouseY, -o_.maxStep, o_.maxStep), 30);
        for (int32_t dx = -2 * step; dx <= 2 * step; dx += step)
            for (int32_t dy = -2 * step; dy <= 2 * step; dy += step) consider(mouseX + dx, mouseY + dy, 0);
    }

    const BotOptions& o_;
    Arming arming_ = Arming::None;
    int32_t kind_ = -1;
    bool fired_[kWeaponKinds] = {};
    int32_t blastX_ = 0, blastY_ = 0;  // where the last click went
};

}  // namespace

int32_t botPeakFlies() { return peak; }

std::string botFiredKinds() {
    std::string k = firedKinds;
    std::sort(k.begin(), k.end());
    return k;
}

Replay playBot(const PackSheets& pack, const BotOptions& o) {
    Bot bot(o);
    peak = 0, firedKinds.clear();
    Replay r = recordRound(pack, o.seed, o.width, o.height, [&](int32_t frame) {
        peak = std::max(peak, static_cast<int32_t>(flies.size()));
        if (frame > 0) return bot.next(frame);
        PlayerInput first;
        first.x = o.width / 2, first.y = o.height / 2;
        return first;
    }, kMaxReplayFrames);
    r.nick = "bot";
    return r;
}
