// bzykolot2-replay: plays recorded rounds again with the game's own rules, no
// window and no sound.
//
//   bzykolot2-replay check [--data DIR]... FILE...
//   bzykolot2-replay info FILE
//   bzykolot2-replay frames FILE
//   bzykolot2-replay bot [--data DIR]... [--seed S] [--size WxH] [--survive N] [--step S] [--hoard K] OUT
//
// check prints one line per file, "frames=N flies=K time=T
// result=match|mismatch|unreadable speed=X" (X: simulated seconds per
// second), and for a mismatch or an unreadable file a line on standard error
// naming the file and the first differing frame and value, or the reason.
// Exit status 0 when every file matches, 1 when one does not, 2 when one cannot
// be read (which includes one made with game data none of the DIRs holds).
// The DIRs hold graphics packs (gfx*.pkf), one per game version; by default
// ./data and the installed game data. info prints a recording's header, frames
// its inputs ("x y buttons", a line a frame; buttons 1 left, 2 right). bot
// plays a round itself, fleeing and blasting, picking up crates and firing
// each weapon from the ring, and writes its recording: a round for tests.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/replay.h"
#include "base/sheet.h"
#include "bot.h"
#include "world/objects.h"
#include "world/packs.h"
#include "world/roundplay.h"

namespace {

const char* kUsage =
    "usage: bzykolot2-replay check [--data DIR]... FILE...\n"
    "       bzykolot2-replay info FILE\n"
    "       bzykolot2-replay frames FILE\n"
    "       bzykolot2-replay bot [--data DIR]... [--seed S] [--size WxH] [--survive N] [--step S] [--hoard K] OUT\n";

bool readFile(const std::string& path, std::string& bytes, std::string& reason) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return reason = "no such file", false;
    if (st.st_size > off_t(kMaxReplayBytes)) return reason = "larger than " + std::to_string(kMaxReplayBytes) + " bytes", false;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    if (!in) return reason = "cannot be read", false;
    return true;
}

// Reads --data DIR options from argv[i...]; the rest go to `rest`.
void dataOptions(int argc, char** argv, int i, GamePacks& packs, std::vector<std::string>& rest) {
    bool dirs = false;
    std::string ignored;  // a folder that cannot be read holds no pack
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            packs.addDir(argv[++i], &ignored);
            dirs = true;
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (!dirs) {
        packs.addDir("data", &ignored);
        packs.addDir(BZK_DATA_DIR, &ignored);
    }
}

int check(int argc, char** argv) {
    GamePacks packs;
    std::vector<std::string> files;
    dataOptions(argc, argv, 2, packs, files);
    if (files.empty()) return fprintf(stderr, "%s", kUsage), 2;
    int status = 0;
    for (const std::string& file : files) {
        std::string bytes, reason;
        Replay r;
        const PackSheets* pack = nullptr;
        if (readFile(file, bytes, reason) && decodeReplay(bytes, r, &reason) && !(pack = packs.find(r.gfxDigest)))
            reason = "unknown game data " + r.gfxDigest;
        if (!pack) {
            printf("frames=0 flies=0 time=0 result=unreadable speed=0\n");
            fprintf(stderr, "%s: %s\n", file.c_str(), reason.c_str());
            status = 2;
            continue;
        }
        const auto t0 = std::chrono::steady_clock::now();
        const ReplayCheck c = checkReplay(r, *pack);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        // A frame lasts 16 ms of the game's clock.
        const double speed = took > 0 ? c.frames * 0.016 / took : 0;
        printf("frames=%d flies=%d time=%d result=%s speed=%.0f\n", c.frames, c.flies, c.time,
               c.match ? "match" : "mismatch", speed);
        if (!c.match) {
            fprintf(stderr, "%s: %s\n", file.c_str(), c.difference.c_str());
            if (status == 0) status = 1;
        }
    }
    return status;
}

// The recording named by argv[2]; false after a line on standard error.
bool readReplay(int argc, char** argv, Replay& r) {
    std::string bytes, reason;
    if (argc != 3) return fprintf(stderr, "%s", kUsage), false;
    if (!readFile(argv[2], bytes, reason) || !decodeReplay(bytes, r, &reason)) {
        fprintf(stderr, "%s: %s\n", argv[2], reason.c_str());
        return false;
    }
    return true;
}

int frames(int argc, char** argv) {
    Replay r;
    if (!readReplay(argc, argv, r)) return 2;
    for (const PlayerInput& f : r.frames) printf("%d %d %d\n", f.x, f.y, f.buttons);
    return 0;
}

int info(int argc, char** argv) {
    Replay r;
    if (!readReplay(argc, argv, r)) return 2;
    printf("nick=%s flies=%d time=%d frames=%zu size=%dx%d seed=%u played=%lld data=%s\n", r.nick.c_str(), r.flies,
           r.time, r.frames.size(), r.width, r.height, r.seed, static_cast<long long>(r.playedAt), r.gfxDigest.c_str());
    return 0;
}

int bot(int argc, char** argv) {
    GamePacks packs;
    std::vector<std::string> rest;
    dataOptions(argc, argv, 2, packs, rest);
    BotOptions o;
    std::string out;
    for (size_t i = 0; i < rest.size(); ++i) {
        const bool more = i + 1 < rest.size();
        if (rest[i] == "--seed" && more) {
            o.seed = static_cast<uint32_t>(strtoul(rest[++i].c_str(), nullptr, 10));
        } else if (rest[i] == "--size" && more && sscanf(rest[++i].c_str(), "%dx%d", &o.width, &o.height) == 2) {
        } else if (rest[i] == "--survive" && more) {
            o.surviveFrames = atoi(rest[++i].c_str());
        } else if (rest[i] == "--step" && more) {
            o.maxStep = std::max(1, atoi(rest[++i].c_str()));
        } else if (rest[i] == "--hoard" && more) {
            o.hoardKills = atoi(rest[++i].c_str());
        } else if (out.empty() && rest[i][0] != '-') {
            out = rest[i];
        } else {
            return fprintf(stderr, "%s", kUsage), 2;
        }
    }
    if (out.empty()) return fprintf(stderr, "%s", kUsage), 2;
    if (!packs.first()) return fprintf(stderr, "bzykolot2-replay: no graphics pack in the data folders\n"), 2;
    if (o.width < kMinReplaySide || o.width > kMaxReplaySide || o.height < kMinReplaySide || o.height > kMaxReplaySide)
        return fprintf(stderr, "bzykolot2-replay: size out of range\n"), 2;
    const Replay r = playBot(*packs.first(), o);
    std::ofstream file(out, std::ios::binary);
    file << encodeReplay(r);
    if (!file.flush()) return fprintf(stderr, "bzykolot2-replay: cannot write %s\n", out.c_str()), 1;
    printf("frames=%zu flies=%d time=%d peak_flies=%d fired=%s\n", r.frames.size(), r.flies, r.time, botPeakFlies(),
           botFiredKinds().c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && strcmp(argv[1], "check") == 0) return check(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "info") == 0) return info(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "frames") == 0) return frames(argc, argv);
    if (argc >= 2 && strcmp(argv[1], "bot") == 0) return bot(argc, argv);
    fprintf(stderr, "%s", kUsage);
    return 2;
}
