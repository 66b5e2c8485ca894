// scene: runs the game's own start-up, round reset and frame on a prepared
// scene, to look at the weapons frame by frame and to time the frame.
//
//   scene NAME [--size WxH] [--frames N] [--seed S] [--shots DIR] [--shot-every K]
//              [--ring] [--raw-shots] [--verify] [--budget N] [--run DIR] [--log FILE]
//   scene --startup [--size WxH] [--run DIR] [--log FILE]
//
// Before the scene it runs "idle" for the same number of frames (the floor)
// and times full-screen flips of a black screen (flip_ms, the cost of showing
// one whole screen, which the scene's median frame is compared with). Results
// go to standard output; the game's own log lines go to FILE (default
// /dev/null). --verify draws every frame also the plain way (the whole screen
// cleared, SDL's own blit, the marked rectangles presented) and compares what
// the display would show, the whole screen; it prints
// "verify: N frames identical" or exits 1 naming the first frame that differs.
// --startup times, several times each, a bare SDL window (init, video mode,
// first flip) and the game's own second start up to its first frame.
//
// Scenes: "swarm" and "swarm2000" (300 / 2000 flies chasing a cursor that
// circles the centre, beaten flies replaced from the edges), one per weapon
// ("bomb", "flame", "airstrike", "concrete", "armageddon", "bzykolot": fired
// once at the centre into 300 flies spread over the screen), "all" (every
// weapon and a plain click in the first frame, the 300 flies kept up) and
// "idle" (empty lists). --shots writes every K-th frame as DIR/NNNN.png, as
// the display would show it after the frame's boxes; --raw-shots writes the
// drawn screen instead; --ring holds the weapon ring open.
#include <SDL/SDL.h>
#include <cairo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/rng.h"
#include "game/arsenal.h"
#include "game/cursor.h"
#include "game/frame.h"
#include "game/game.h"
#include "game/round.h"
#include "game/transfer.h"
#include "media/dirty.h"
#include "media/events.h"
#include "media/sprite.h"
#include "media/video.h"
#include "world/objects.h"

namespace {

struct Options {
    std::string scene;
    int32_t w = 1920, h = 1080;
    int32_t frames = 600;
    unsigned seed = 1;
    std::string shots;         // directory for PNG frames; empty: none
    int32_t shotEvery = 1;
    bool ring = false;         // hold the ring open (the right button) throughout
    bool raw = false;          // shoot the drawn screen instead of what was presented
    bool verify = false;       // compare every frame with the plain way of drawing it
    bool startup = false;      // time the start-up instead of a scene
    int32_t budget = 0;        // dirty-rectangle budget; 0: measured as the game does
    std::string runDir = SCENE_RUN_DIR;
    std::string log = "/dev/null";
};

int resultsFd = 1;  // standard output as it was: the game's log takes the other

const char* const kScenes[] = {"swarm",    "swarm2000",  "flame",    "bomb", "airstrike",
                               "concrete", "armageddon", "bzykolot", "all",  "idle"};

void usage() {
    fprintf(stderr,
            "usage: scene NAME [--size WxH] [--frames N] [--seed S] [--shots DIR] [--shot-every K]\n"
            "                  [--ring] [--raw-shots] [--verify] [--budget N] [--run DIR] [--log FILE]\n"
            "       scene --startup [--size WxH] [--run DIR] [--log FILE]\n"
            "scenes: swarm swarm2000 flame bomb airstrike concrete armageddon bzykolot all idle\n");
}

bool positive(const char* text, int32_t& out) {
    char* end = nullptr;
    const long v = strtol(text, &end, 10);
    if (!*text || *end || v < 1 || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool parseOptions(int argc, char** argv, Options& o) {
    if (argc < 2) return false;
    o.scene = argv[1];
    o.startup = o.scene == "--startup";
    if (!o.startup && std::find_if(std::begin(kScenes), std::end(kScenes),
                     [&](const char* s) { return o.scene == s; }) == std::end(kScenes))
        return false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        int32_t n = 0;
        if (a == "--ring") {
            o.ring = true;
        } else if (a == "--raw-shots") {
            o.raw = true;
        } else if (a == "--verify") {
            o.verify = true;
        } else if (!hasValue) {
            return false;
        } else if (a == "--size") {
            const char* v = argv[++i];
            const char* x = strchr(v, 'x');
            if (!x || !positive(std::string(v, x).c_str(), o.w) || !positive(x + 1, o.h)) return false;
        } else if (a == "--frames" && positive(argv[i + 1], n)) {
            o.frames = n, ++i;
        } else if (a == "--seed" && positive(argv[i + 1], n)) {
            o.seed = static_cast<unsigned>(n), ++i;
        } else if (a == "--shot-every" && positive(argv[i + 1], n)) {
            o.shotEvery = n, ++i;
        } else if (a == "--budget" && positive(argv[i + 1], n)) {
            o.budget = n, ++i;
        } else if (a == "--shots") {
            o.shots = argv[++i];
        } else if (a == "--run") {
            o.runDir = argv[++i];
        } else if (a == "--log") {
            o.log = argv[++i];
        } else {
            return false;
        }
    }
    return o.w <= 32767 && o.h <= 32767;
}

std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char cwd[4096];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

// ---- Measuring --------------------------------------------------------------------

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct Timings {
    std::vector<double> clear, world, hud, present, frame, record;
};

struct Peak {
    size_t flies = 0, particles = 0, weapons = 0, drops = 0;
    void take() {
        flies = std::max(flies, ::flies.size());
        particles = std::max(particles, ::particles.size());
        weapons = std::max(weapons, ::weapons.size());
        drops = std::max(drops, ::drops.size());
    }
};

// Nearest-rank percentile, q in (0, 1].
double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(v.size())));
    rank = std::clamp<size_t>(rank, 1, v.size());
    return v[rank - 1];
}

// ---- What the display shows ------------------------------------------------------

// The frames as presented: only what the frame sends (its boxes, or the
// whole screen) is copied over, as the display receives it, so a box the game
// forgets to send leaves its smear here too.
class Presented {
public:
    Presented() {
        const SDL_PixelFormat* f = screen->format;
        shown_ = SDL_CreateRGBSurface(SDL_SWSURFACE, screen->w, screen->h, 32, f->Rmask, f->Gmask, f->Bmask, 0);
    }
    ~Presented() { SDL_FreeSurface(shown_); }

    // Before presentFrame, which forgets the boxes: what `drawn` sends to the
    // display, the game's way (presentPlan) or, with `marked`, the way it was
    // before the tiles (the rectangles as marked, the whole screen on
    // fullUpdate). With `raw`, the whole drawn screen (to tell a smear from a
    // drawing fault).
    void take(bool raw, SDL_Surface* drawn = screen, bool marked = false) {
        if (!shown_) return;
        boxes_.clear();
        const bool whole = raw || (marked ? fullUpdate || dirtyCount >= maxUpdates : presentPlan(boxes_));
        if (whole) {
            SDL_BlitSurface(drawn, nullptr, shown_, nullptr);
            return;
        }
        if (marked) boxes_.assign(dirtyRects.begin(), dirtyRects.begin() + dirtyCount);
        for (SDL_Rect src : boxes_) {
            SDL_Rect dst = src;
            SDL_BlitSurface(drawn, &src, shown_, &dst);
        }
    }

    // Whether the display shows the same here as in `other`, every pixel. On
    // a difference, `at` gets its first pixel.
    bool same(const Presented& other, int32_t& atX, int32_t& atY) const {
        if (!shown_ || !other.shown_) return false;
        for (int y = 0; y < shown_->h; ++y) {
            const Uint32* a = row(y);
            const Uint32* b = other.row(y);
            if (memcmp(a, b, shown_->w * 4u) == 0) continue;
            atY = y;
            atX = 0;
            while (*a++ == *b++) ++atX;
            return false;
        }
        return true;
    }

    bool writePng(const std::string& path) const {
        if (!shown_) return false;
        cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, shown_->w, shown_->h);
        unsigned char* data = cairo_image_surface_get_data(out);
        const int stride = cairo_image_surface_get_stride(out);
        SDL_LockSurface(shown_);
        for (int y = 0; y < shown_->h; ++y) {
            const Uint32* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(shown_->pixels) +
                                                                y * shown_->pitch);
            uint32_t* to = reinterpret_cast<uint32_t*>(data + y * stride);
            for (int x = 0; x < shown_->w; ++x) {
                Uint8 r, g, b;
                SDL_GetRGB(row[x], shown_->format, &r, &g, &b);
                to[x] = static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
            }
        }
        SDL_UnlockSurface(shown_);
        cairo_surface_mark_dirty(out);
        const bool ok = cairo_surface_write_to_png(out, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(out);
        return ok;
    }

private:
    const Uint32* row(int y) const {
        return reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(shown_->pixels) + y * shown_->pitch);
    }

    SDL_Surface* shown_ = nullptr;
    std::vector<SDL_Rect> boxes_;
};

// --verify: the plain way of drawing beside the game's. The reference screen
// gets every sprite through SDL's own blit, is cleared whole every frame and
// sends the display the rectangles as marked; the game's screen is cleared
// and sent in tiles. The two displays must agree everywhere.
class Verifier {
public:
    Verifier() {
        const SDL_PixelFormat* f = screen->format;
        referenceScreen = SDL_CreateRGBSurface(SDL_SWSURFACE, screen->w, screen->h, 32, f->Rmask, f->Gmask,
                                               f->Bmask, f->Amask);
    }
    ~Verifier() {
        SDL_FreeSurface(referenceScreen);
        referenceScreen = nullptr;
    }

    void clear() { SDL_FillRect(referenceScreen, nullptr, 0); }

    // Before presenting frame `frame`: exits 1 when its display differs.
    void check(int32_t frame) {
        game_.take(false);
        plain_.take(false, referenceScreen, true);
        int32_t x = 0, y = 0;
        if (referenceScreen && game_.same(plain_, x, y)) return;
        dprintf(resultsFd, "verify: frame %d differs at (%d, %d)\n", frame, x, y);
        exit(1);
    }

private:
    Presented game_, plain_;
};

// ---- Scenes -----------------------------------------------------------------------

int32_t fliesIn(const std::string& scene) {
    if (scene == "idle") return 0;
    return scene == "swarm2000" ? 2000 : 300;
}

int32_t kindOf(const std::string& scene) {
    const char* names[kWeaponKinds] = {"bomb", "flame", "airstrike", "concrete", "armageddon", "bzykolot"};
    for (int32_t k = 0; k < kWeaponKinds; ++k)
        if (scene == names[k]) return k;
    return -1;
}

bool circling(const std::string& scene) { return scene == "swarm" || scene == "swarm2000"; }

// The benchmark scenes keep their swarm at full strength; a single weapon is
// fired into one swarm that is not replaced, so it can be watched clearing it.
bool replenished(const std::string& scene) { return circling(scene) || scene == "all"; }

// The swarm's cursor goes round the centre once every 240 frames.
void cursorAt(const std::string& scene, int32_t frame, int32_t& x, int32_t& y) {
    x = screen->w / 2;
    y = screen->h / 2;
    if (!circling(scene)) return;
    const double r = std::min(screen->w, screen->h) / 4.0;
    const double a = 2.0 * M_PI * frame / 240.0;
    x += static_cast<int32_t>(r * std::cos(a));
    y += static_cast<int32_t>(r * std::sin(a));
}

int32_t livingFlies() {
    int32_t n = 0;
    for (const auto& f : flies) n += f->getHP() >= 1;
    return n;
}

// Flies made by the round's spawner, then spread over the whole screen so the
// weapons fired at the centre find flies at once.
void scatterFlies(int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const size_t before = flies.size();
        spawnFly();
        if (flies.size() == before) return;
        flies.back()->x = static_cast<float>(roll() % screen->w);
        flies.back()->y = static_cast<float>(roll() % screen->h);
    }
}

// Replaces the beaten: new flies enter from the edges as in a round.
void topUp(int32_t n) {
    for (int32_t living = livingFlies(); living < n; ++living) {
        const size_t before = flies.size();
        spawnFly();
        if (flies.size() == before) return;
    }
}

// Arms and fires through the firing rule, as a left press would.
void fire(const std::string& scene) {
    const int32_t kind = kindOf(scene);
    if (kind >= 0) {
        ammo[kind] = 1;
        selectedWeapon = kind;
        fireStep(true);
        return;
    }
    if (scene != "all") return;
    for (int32_t k = 0; k < kWeaponKinds; ++k) {
        ammo[k] = 1;
        selectedWeapon = k;
        fireStep(true);
    }
    fireDelay = 0;  // and the plain click
    fireStep(true);
}

void moveMouse(int32_t x, int32_t y) {
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
    SDL_PumpEvents();
    while (SDL_PollEvent(&event)) {
    }
}

// The scene inside the game's frame: the cursor moved before the frame's
// head, the scene's block in place of the state's (a round that never ends,
// the swarm kept up, the weapons fired in the first frame), the ring held open
// on request, the shot taken before presenting, no pacing. Each step is timed.
class SceneProbe : public FrameProbe {
public:
    SceneProbe(const Options& o, const std::string& scene, int32_t swarm, Presented* shots, Verifier* verifier)
        : o_(o), scene_(scene), swarm_(swarm), shots_(shots), verifier_(verifier) {}

    bool before(FrameStep s) override {
        if (s == StepHead && circling(scene_)) {
            int32_t cx, cy;
            cursorAt(scene_, frame_, cx, cy);
            moveMouse(cx, cy);
        }
        if (s == StepPresent && shots_) shoot();
        if (verifier_ && s == StepClear) verifier_->clear();
        if (verifier_ && s == StepPresent) verifier_->check(frame_);
        started_[s] = Clock::now();
        switch (s) {
        case StepState:
            sceneBlock();
            return false;
        case StepRing:
            if (!o_.ring) return true;
            ringStep(true, false);
            return false;
        case StepPace:
            return false;
        default:
            return true;
        }
    }

    void after(FrameStep s) override { took_[s] = msBetween(started_[s], Clock::now()); }

    // Adds the frame just run to `t`.
    void record(Timings& t) {
        t.clear.push_back(took_[StepClear]);
        t.world.push_back(took_[StepState] + took_[StepWorld]);
        t.hud.push_back(took_[StepCursorHead] + took_[StepDelays] + took_[StepRing] + took_[StepCursorDraw]);
        t.present.push_back(took_[StepPresent]);
        t.record.push_back(took_[StepRecord]);
        t.frame.push_back(t.clear.back() + t.world.back() + t.hud.back() + t.present.back() + t.record.back());
        ++frame_;
    }

private:
    void sceneBlock() {
        if (swarm_ > 0) {
            // Stings cost health, but the scene's round never ends.
            health = kFullHealth;
            roundTicks += 1;
            if (replenished(scene_)) topUp(swarm_);
        }
        if (frame_ == 0) fire(scene_);
    }

    void shoot() {
        shots_->take(o_.raw);
        if (frame_ % o_.shotEvery != 0) return;
        char name[32];
        snprintf(name, sizeof name, "/%04d.png", frame_);
        if (!shots_->writePng(o_.shots + name)) fprintf(stderr, "scene: cannot write %s%s\n", o_.shots.c_str(), name);
    }

    const Options& o_;
    const std::string scene_;
    const int32_t swarm_;
    Presented* shots_;
    Verifier* verifier_;
    int32_t frame_ = 0;
    Clock::time_point started_[FrameSteps];
    double took_[FrameSteps] = {};
};

// One run of `frames` frames of the scene in a fresh round.
Timings run(const Options& o, const std::string& scene, Peak& peak, Presented* shots,
            Verifier* verifier = nullptr) {
    startRound();
    roundRng.seed(o.seed);  // the scene's own draws and the world's, from one sequence
    const int32_t swarm = fliesIn(scene);
    scatterFlies(swarm);
    int32_t cx, cy;
    cursorAt(scene, 0, cx, cy);
    moveMouse(cx, cy);
    mouseX = cx;
    mouseY = cy;
    SceneProbe probe(o, scene, swarm, shots, verifier);
    Timings t;
    for (int32_t f = 0; f < o.frames; ++f) {
        runFrame(&probe);
        probe.record(t);
        peak.take();
    }
    return t;
}

// ---- Start-up ---------------------------------------------------------------------

// The game's start-up in a window of the asked size. False with a message on
// standard error. `budgetFile` names the "upds" to use; empty: a fresh one, so
// the budget is measured as the game measures it, without touching the game's.
bool start(const Options& o, const std::string& budgetFile = "") {
    StartOptions start;
    start.videoFlags = 0;
    start.width = o.w;
    start.height = o.h;
    start.budget = o.budget;
    char path[] = "/tmp/scene-upds-XXXXXX";
    const bool fresh = o.budget <= 0 && budgetFile.empty();
    if (fresh) {
        const int fd = mkstemp(path);
        if (fd >= 0) close(fd);
        start.budgetFile = path;
    } else if (o.budget <= 0) {
        start.budgetFile = budgetFile;
    }
    const int failure = startGame(start);
    if (fresh) unlink(path);
    if (failure) {
        fprintf(stderr, "scene: the game's start-up failed with exit code %d (see %s): %s\n", failure,
                o.log.c_str(), SDL_GetError());
        return false;
    }
    SDL_WM_SetCaption("Bzykolot 2 scene", nullptr);
    return true;
}

// Median of `n` full-screen flips of a black screen: the cost of showing one
// whole screen at this size. The screen stays black, as the idle run expects.
double flipMs(int32_t n) {
    SDL_FillRect(screen, nullptr, 0);
    std::vector<double> took;
    for (int32_t i = 0; i < n; ++i) {
        const auto t0 = Clock::now();
        SDL_Flip(screen);
        took.push_back(msBetween(t0, Clock::now()));
    }
    return percentile(took, 0.5);
}

// Shows the game's first frame, without pacing.
class FirstFrame : public FrameProbe {
public:
    bool before(FrameStep s) override { return s != StepPace; }
    void after(FrameStep) override {}
};

// Times a bare SDL window and the game's second start to its first frame, each
// `runs` times in turn, after one start that writes the budget file.
int startup(const Options& o, int results) {
    char budget[] = "/tmp/scene-upds-XXXXXX";
    const int fd = mkstemp(budget);
    if (fd < 0) return 1;
    close(fd);
    std::vector<double> bare, game;
    const int32_t runs = 7;
    bool ok = true;
    for (int32_t i = 0; i <= runs && ok; ++i) {
        auto t0 = Clock::now();
        ok = SDL_Init(SDL_INIT_VIDEO) == 0;
        SDL_Surface* s = ok ? SDL_SetVideoMode(o.w, o.h, 32, 0) : nullptr;
        if (s) {
            SDL_FillRect(s, nullptr, 0);
            SDL_Flip(s);
            if (i > 0) bare.push_back(msBetween(t0, Clock::now()));
        }
        SDL_Quit();
        if (!(ok = s != nullptr)) break;

        t0 = Clock::now();
        ok = start(o, budget);
        if (!ok) break;
        FirstFrame first;
        runFrame(&first);
        if (i > 0) game.push_back(msBetween(t0, Clock::now()));
        shutdownGame();
        // Each start as a new process makes it: SDL and libcurl started afresh.
        videoReady = false;
        curl_easy_cleanup(curl);
        curl = nullptr;
        curl_global_cleanup();
    }
    unlink(budget);
    if (!ok) {
        fprintf(stderr, "scene: a start failed: %s\n", SDL_GetError());
        return 1;
    }
    fflush(stdout);
    dup2(results, 1);
    const double g = percentile(game, 0.5), b = percentile(bare, 0.5);
    printf("startup_ms=%.1f bare_ms=%.1f ratio=%.2f\n", g, b, b > 0 ? g / b : 0.0);
    return 0;
}

void report(const Timings& t, const Peak& peak, double floorMs, double flip) {
    const std::pair<const char*, const std::vector<double>*> phases[] = {
        {"clear", &t.clear}, {"world", &t.world}, {"hud", &t.hud}, {"present", &t.present}, {"frame", &t.frame}};
    for (const auto& [name, values] : phases)
        printf("phase=%s median_ms=%.3f p99_ms=%.3f\n", name, percentile(*values, 0.5), percentile(*values, 0.99));
    printf("peak flies=%zu particles=%zu weapons=%zu drops=%zu\n", peak.flies, peak.particles, peak.weapons,
           peak.drops);
    // The round's recording: the frame's input every frame, the world's checksum every 64th.
    double recorded = 0, all = 0;
    for (size_t i = 0; i < t.frame.size(); ++i) recorded += t.record[i], all += t.frame[i];
    printf("record_us_per_frame=%.2f record_share=%.2f%%\n", t.frame.empty() ? 0.0 : recorded * 1000 / t.frame.size(),
           all > 0 ? 100 * recorded / all : 0.0);
    const double median = percentile(t.frame, 0.5);
    printf("world_us_per_fly=%.2f\n", peak.flies ? percentile(t.world, 0.5) * 1000.0 / peak.flies : 0.0);
    printf("floor_ms=%.3f flip_ms=%.3f ratio=%.2f\n", floorMs, flip, flip > 0 ? median / flip : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        usage();
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    o.shots = absolute(o.shots);
    o.log = absolute(o.log);
    if (!o.shots.empty()) mkdir(o.shots.c_str(), 0755);
    if (chdir(o.runDir.c_str()) != 0 || access("data/gfx.pkf", R_OK) != 0) {
        fprintf(stderr, "scene: no data/gfx.pkf in %s (build the packs, or give --run DIR)\n", o.runDir.c_str());
        return 1;
    }
    // The game logs to standard output; keep that apart from the results.
    fflush(stdout);
    const int results = resultsFd = dup(1);
    if (!freopen(o.log.c_str(), "w", stdout)) {
        fprintf(stderr, "scene: cannot write %s\n", o.log.c_str());
        return 1;
    }
    setbuf(stdout, nullptr);
    if (o.startup) return startup(o, results);
    if (!start(o)) return 1;
    char driver[32] = "?";
    SDL_VideoDriverName(driver, sizeof driver);
    fprintf(stderr, "scene %s: %dx%d, %d frames, seed %u, video driver %s, budget %d rectangles\n",
            o.scene.c_str(), screen->w, screen->h, o.frames, o.seed, driver, maxUpdates);

    if (o.verify) {
        Peak peak;
        {
            Verifier verifier;
            run(o, o.scene, peak, nullptr, &verifier);
        }
        shutdownGame();
        fflush(stdout);
        dup2(results, 1);
        printf("verify: %d frames identical\n", o.frames);
        return 0;
    }

    const double flip = flipMs(60);
    Peak idlePeak;
    const Timings idle = run(o, "idle", idlePeak, nullptr);
    Peak peak;
    std::unique_ptr<Presented> shots;
    if (!o.shots.empty()) shots = std::make_unique<Presented>();
    const Timings scene = run(o, o.scene, peak, shots.get());
    shots.reset();
    shutdownGame();

    fflush(stdout);
    dup2(results, 1);
    close(results);
    report(scene, peak, percentile(idle.frame, 0.5), flip);
    return 0;
}
