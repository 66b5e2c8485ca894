// libFuzzer targets for every reader of outside bytes; compiled once per
// target with one of FUZZ_PACK, FUZZ_PARSER, FUZZ_TABLE, FUZZ_ANIM, FUZZ_POST,
// FUZZ_LISTEN. Readers are driven only through their public functions.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Each process writes its inputs to files of its own: runs may share a folder.
[[maybe_unused]] static std::string scratch(const char* name) {
    return std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/fuzz-" + std::to_string(getpid()) + "-" + name;
}

[[maybe_unused]] static void writeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (size) fwrite(data, 1, size, f);
    fclose(f);
}

#if defined(FUZZ_PACK) || defined(FUZZ_ANIM)
#include "base/resfile.h"
#endif

#ifdef FUZZ_PACK
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratch("pack.pkf");
    writeFile(path, data, size);
    Resfile pack;
    pack.open(path.c_str());
    const int32_t n = pack.count(path.c_str());
    for (int32_t i = -1; i <= n; ++i) {
        pack.entryAt(i);
        pack.entryInFile(i);
        pack.nameBytes(i);
        const char* name = pack.entryName(i);
        pack.load("", "", i);
        if (name) pack.load("", std::string(name).c_str(), -1);
    }
    pack.load("", "no such entry", -1);
    return 0;
}
#endif

#ifdef FUZZ_PARSER
#include "base/parser.h"

// The text up to the first zero byte, the separators up to the next, then
// operations: one byte picks it, one the element index, the rest of the
// current chunk (up to a zero byte) is the argument.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string in(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    auto chunk = [&]() {
        if (at >= in.size()) return std::string();
        const size_t end = std::min(in.find('\0', at), in.size());
        std::string s = in.substr(at, end - at);
        at = end + 1;
        return s;
    };
    const std::string text = chunk();
    Parser p(text, chunk());
    while (at + 2 <= in.size()) {
        const uint8_t op = uint8_t(in[at]);
        const int32_t i = int8_t(in[at + 1]);
        at += 2;
        const std::string arg = chunk();
        switch (op % 8) {
        case 0: p.show(i); break;
        case 1: p.val(i); break;
        case 2: p.isVal(i); break;
        case 3: p.find(arg); break;
        case 4: p.ins(i, arg); break;
        case 5: p.del(i); break;
        case 6: p.swap(i, arg); break;
        default: p.setSeparators(arg); break;
        }
        if (p.getText().size() > 1 << 16) p.setText(text);  // keep runs fast, not growing
    }
    for (int32_t i = 0; i < p.count(); ++i) p.isVal(i);
    return 0;
}
#endif

#ifdef FUZZ_TABLE
#include "base/hiscore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratch("dl.txt");
    writeFile(path, data, size);
    Hiscore table;
    table.load(path.c_str());
    table.sortByFlies();
    table.sortByTime();
    return 0;
}
#endif

#ifdef FUZZ_ANIM
#include "media/sprite.h"
#include "media/video.h"

static std::vector<char> bitmap;  // a real BMP of 64 x 16, made by SDL

static void put32(std::string& s, uint32_t v) {
    for (int k = 0; k < 4; ++k) s += char(v >> (8 * k));
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0 || !(screen = SDL_SetVideoMode(320, 200, 32, 0))) abort();
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 16, 24, 0xff0000, 0xff00, 0xff, 0);
    const std::string path = scratch("a.bmp");
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) abort();
    for (int c; (c = fgetc(f)) != EOF;) bitmap.push_back(char(c));
    fclose(f);
    unlink(path.c_str());
    return 0;
}

// A pack of "a.bmp" and, as its animation text, the input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int turn = 0;  // the reader keeps a pack open by name: alternate two
    const std::string path = scratch(++turn % 2 ? "anim0.pkf" : "anim1.pkf");
    const std::string names[2] = {"a.bmp", "a.txt"};
    const std::string bodies[2] = {std::string(bitmap.begin(), bitmap.end()),
                                   std::string(reinterpret_cast<const char*>(data), size)};
    std::string table, body;
    for (int k = 0; k < 2; ++k) {
        put32(table, uint32_t(body.size()));
        put32(table, uint32_t(bodies[k].size()));
        put32(table, uint32_t(names[k].size()));
        table += names[k];
        body += bodies[k];
    }
    std::string pack = "PAKF\1";
    put32(pack, uint32_t(13 + table.size()));
    put32(pack, 2);
    pack += table + body;
    writeFile(path, pack.data(), pack.size());

    SpriteMap registry;
    Sprite::load(path.c_str(), registry);
    Sprite* sprite = registry["a.bmp"].get();
    if (!sprite) abort();
    const int32_t n = animCount(sprite);
    for (int32_t i = -1; i <= n && i < 64; ++i) {
        const Anim* a = Sprite::getAnim(sprite, i);
        const int32_t frames = a ? std::min(a->frames, 4) : 1;
        for (int32_t f = -1; f <= frames; ++f) Sprite::print(sprite, uint32_t(i), f, 160, 100);
    }
    maskAt(sprite, 1, 1);
    Sprite::clear(registry);
    return 0;
}
#endif

#ifdef FUZZ_POST
#include "server/form.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    parseForm(body);
    const Verdict v = checkScore(body);
    if (v.status == 200 && !validNick(v.score.nick)) abort();  // a stored nick is always valid
    return 0;
}
#endif

#ifdef FUZZ_LISTEN
// The server's option parsing lives in its entry point's file.
#define main scoresMain
#include "server/main.cpp"
#undef main

// One option or value per line, after the program's name.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args{"bzykolot2-scores"};
    std::string arg;
    for (size_t k = 0; k <= size; ++k) {
        if (k == size || data[k] == '\n') {
            args.push_back(arg);
            arg.clear();
        } else {
            arg += char(data[k]);
        }
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    Options opt;
    if (parseArgs(int(argv.size()), argv.data(), &opt) == 0 && opt.web.port > 65535) abort();
    return 0;
}
#endif
