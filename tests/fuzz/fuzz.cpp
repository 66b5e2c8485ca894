// libFuzzer targets for the readers of outside bytes, one per define FUZZ_PACK, _PARSER,
// _TABLE, _ANIM, _POST, _LISTEN or _REPLAY; each reader driven through its public functions only.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/hiscore.h"
#include "base/parser.h"
#include "base/resfile.h"

#define INPUT std::string(reinterpret_cast<const char*>(data), size)
#define TARGET extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)

// Bytes as a file of this process's own (runs may share /tmp), removed when the run ends.
[[maybe_unused]] static std::string asFile(const char* name, const std::string& bytes) {
    static std::vector<std::string>* made = new std::vector<std::string>;
    const std::string path = "/tmp/fuzz-" + std::to_string(getpid()) + "-" + name;
    if (std::find(made->begin(), made->end(), path) == made->end()) {
        if (made->empty()) atexit([] { for (const std::string& p : *made) unlink(p.c_str()); });
        made->push_back(path);
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) abort();
    fclose(f);
    return path;
}

#ifdef FUZZ_PACK
TARGET {
    const std::string path = asFile("pack.pkf", INPUT);
    Resfile pack;
    for (int32_t i = -1, n = pack.count(path.c_str()); i <= n; ++i) {
        pack.entryAt(i), pack.entryInFile(i), pack.nameBytes(i), pack.load("", "", i);
        if (const char* name = pack.entryName(i)) pack.load("", std::string(name).c_str(), -1);
    }
    return 0;
}
#endif

#ifdef FUZZ_PARSER
// The text up to the first zero byte, the separators up to the next, then operations:
// a byte picks it, a byte is the index, the bytes up to the next zero the argument.
TARGET {
    const std::string in = INPUT;
    size_t at = 0;
    auto chunk = [&]() {
        const size_t end = std::min(in.find('\0', std::min(at, in.size())), in.size());
        std::string s = at < end ? in.substr(at, end - at) : "";
        return at = end + 1, s;
    };
    const std::string text = chunk();
    Parser p(text, chunk());
    while (at + 2 <= in.size()) {
        const int op = uint8_t(in[at]) % 7, i = int8_t(in[at + 1]);
        at += 2;
        const std::string arg = chunk();
        if (op == 0) p.show(i), p.val(i), p.isVal(i);
        if (op == 1) p.find(arg);
        if (op == 2) p.ins(i, arg);
        if (op == 3) p.del(i);
        if (op == 4) p.swap(i, arg);
        if (op == 5) p.setSeparators(arg);
        if (op == 6 || p.getText().size() > 1 << 16) p.setText(text);  // runs stay fast
    }
    return 0;
}
#endif

#ifdef FUZZ_TABLE
TARGET {
    Hiscore table;
    table.load(asFile("dl.txt", INPUT).c_str());
    table.sortByFlies();
    table.sortByTime();
    return 0;
}
#endif

#ifdef FUZZ_ANIM
#include "media/sprite.h"
#include "media/video.h"

static std::string bitmap(4096, '\0');  // a real BMP of 64 x 16, written by SDL

static std::string u32(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !(screen = SDL_SetVideoMode(320, 200, 32, 0))) abort();
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 16, 24, 0xff0000, 0xff00, 0xff, 0);
    SDL_SaveBMP_RW(s, SDL_RWFromMem(bitmap.data(), int(bitmap.size())), 1);
    SDL_FreeSurface(s);
    return 0;
}

// A pack of "a.bmp" and its animation text: the input up to a zero byte; the
// bytes after it, if any, are the bitmap instead of the real one. Every animation drawn.
TARGET {
    static int turn = 0;  // the loader keeps a pack open by name: alternate two
    const std::string in = INPUT, text = in.substr(0, in.find('\0'));
    const std::string bmp = text.size() < in.size() ? in.substr(text.size() + 1) : bitmap;
    const uint32_t b = uint32_t(bmp.size());
    const std::string path = asFile(++turn % 2 ? "0.pkf" : "1.pkf",
                                    "PAKF\1" + u32(47) + u32(2) + u32(0) + u32(b) + u32(5) + "a.bmp" + u32(b) +
                                        u32(uint32_t(text.size())) + u32(5) + "a.txt" + bmp + text);
    SpriteMap registry;
    Sprite::load(path.c_str(), registry);
    Sprite* sprite = registry["a.bmp"].get();
    for (int32_t i = -1; i <= animCount(sprite) && i < 64; ++i) {
        const Anim* a = Sprite::getAnim(sprite, i);
        for (int32_t f = -1; f <= (a ? std::min(a->frames, 4) : 0); ++f) Sprite::print(sprite, uint32_t(i), f, 160, 100);
    }
    Sprite::clear(registry);
    return 0;
}
#endif

#ifdef FUZZ_POST
#include "server/form.h"

TARGET {
    const Verdict v = checkScore(INPUT);
    if (v.status == 200 && !validNick(v.score.nick)) abort();  // only valid nicks are stored
    return 0;
}
#endif

#ifdef FUZZ_LISTEN
#define main scoresMain  // the options are parsed in the server's entry point's file
#include "server/main.cpp"

// One option or value per line.
TARGET {
    const std::string in = INPUT + "\n";
    std::vector<std::string> args{"bzykolot2-scores"};
    for (size_t at = 0, end; (end = in.find('\n', at)) != std::string::npos; at = end + 1)
        args.push_back(in.substr(at, end - at));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    Options opt;
    if (parseArgs(int(argv.size()), argv.data(), &opt) == 0 && (opt.web.port < 0 || opt.web.port > 65535)) abort();
    return 0;
}
#endif

#ifdef FUZZ_REPLAY
#include "base/replay.h"

// A recording the decoder takes is one it would write again the same.
TARGET {
    Replay r, again;
    if (!decodeReplay(INPUT, r, nullptr)) return 0;
    if (!decodeReplay(encodeReplay(r), again, nullptr) || again.frames != r.frames || again.checksums != r.checksums ||
        again.nick != r.nick || again.flies != r.flies || again.time != r.time || again.gfxDigest != r.gfxDigest)
        abort();
    return 0;
}
#endif
