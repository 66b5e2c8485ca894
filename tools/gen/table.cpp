// Reading assets/assets.txt: one line per sprite, font or sound.
#include "gen.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool fail(const std::string& path, int line, const std::string& why) {
    std::fprintf(stderr, "%s:%d: %s\n", path.c_str(), line, why.c_str());
    return false;
}

}  // namespace

bool readTable(const std::string& path, AssetTable& table) {
    std::ifstream in(path);
    if (!in) return fail(path, 0, "cannot open");
    std::string text;
    int lineNo = 0;
    while (std::getline(in, text)) {
        ++lineNo;
        std::istringstream ls(text);
        std::vector<std::string> f;
        for (std::string w; ls >> w;) f.push_back(w);
        if (f.empty() || f[0][0] == '#') continue;
        auto num = [&](size_t i) { return std::stoi(f[i]); };
        try {
            if (f[0] == "sprite") {
                if (f.size() != 11 && f.size() != 14) return fail(path, lineNo, "sprite needs 10 or 13 values");
                SpriteSpec s;
                s.name = f[1];
                s.maker = f[2];
                s.anims = num(3); s.w = num(4); s.h = num(5); s.hotX = num(6); s.hotY = num(7);
                s.frames = num(8); s.speed = num(9); s.loop = num(10);
                if (f.size() == 14) {
                    s.paired = true;
                    s.eframes = num(11); s.espeed = num(12); s.eloop = num(13);
                }
                if (s.anims < 1 || s.w < 1 || s.h < 1 || s.frames < 1 || (s.paired && s.eframes < 1))
                    return fail(path, lineNo, "empty sprite");
                table.sprites.push_back(s);
            } else if (f[0] == "font") {
                if (f.size() != 7) return fail(path, lineNo, "font needs 6 fields");
                table.fonts.push_back({f[1], f[2], num(3), num(4), num(5), num(6)});
            } else if (f[0] == "sound") {
                if (f.size() != 6) return fail(path, lineNo, "sound needs 5 fields");
                SoundSpec s{f[1], f[2], num(3), num(4), num(5)};
                if ((s.bits != 8 && s.bits != 16) || (s.channels != 1 && s.channels != 2))
                    return fail(path, lineNo, "sounds are 8 or 16 bit, mono or stereo");
                table.sounds.push_back(s);
            } else {
                return fail(path, lineNo, "unknown kind " + f[0]);
            }
        } catch (const std::exception&) {
            return fail(path, lineNo, "bad number");
        }
    }
    return true;
}
