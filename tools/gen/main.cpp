// bzkgen ASSETS_DIR OUT_DIR SHEET.png
// Reads ASSETS_DIR/assets.txt, writes the graphics entries into OUT_DIR/gfx,
// the sounds into OUT_DIR/sfx, the entry lists OUT_DIR/gfx.list and
// OUT_DIR/sfx.list (pack order) and the contact sheet.
// bzkgen --icon FILE.svg SIZE OUT.png
// Renders the whole SVG into a SIZE x SIZE PNG with alpha (the desktop icon).
#include "gen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

namespace {

void writeList(const std::string& path, const std::string& dir, const std::vector<std::string>& files) {
    std::ofstream out(path);
    for (const std::string& f : files) out << dir << "/" << f << "\n";
    if (!out) {
        std::fprintf(stderr, "bzkgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// A line of text set with a generated font the way the game sets it, for
// the contact sheet.
SpriteArt textSample(const SpriteArt& font, const std::vector<int>& widths, const std::string& text,
                     int spaceW, int lineH) {
    int w = 8, h = lineH, x = 0;
    for (char c : text) {
        if (c == '\n') { x = 0; h += lineH; continue; }
        x += c == ' ' ? spaceW : widths[c - 32] + 1;
        w = std::max(w, x);
    }
    Frame f(w, h);
    cairo_t* cr = cairo_create(f.s);
    x = 0;
    int y = 0;
    for (char c : text) {
        if (c == '\n') { x = 0; y += lineH; continue; }
        if (c == ' ') { x += spaceW; continue; }
        cairo_set_source_surface(cr, font.anims[c - 32][0].s, x, y);
        cairo_paint(cr);
        x += widths[c - 32] + 1;
    }
    cairo_destroy(cr);
    SpriteArt art;
    art.anims.emplace_back();
    art.anims.back().push_back(std::move(f));
    return art;
}

int writeIcon(const std::string& svg, const char* sizeArg, const char* png) {
    int size = std::atoi(sizeArg);
    if (size < 1 || size > 1024) {
        std::fprintf(stderr, "bzkgen: icon size %s is not 1 to 1024\n", sizeArg);
        return 2;
    }
    size_t slash = svg.rfind('/');
    assetDir = slash == std::string::npos ? "." : svg.substr(0, slash);
    Frame f(size, size);
    cairo_t* cr = cairo_create(f.s);
    renderSvg(cr, svg.substr(slash + 1), "", size, size);
    cairo_destroy(cr);
    if (cairo_surface_write_to_png(f.s, png) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "bzkgen: cannot write %s\n", png);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--icon") return writeIcon(argv[2], argv[3], argv[4]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bzkgen ASSETS_DIR OUT_DIR SHEET.png\n"
                             "       bzkgen --icon FILE.svg SIZE OUT.png\n");
        return 2;
    }
    assetDir = argv[1];
    std::string out = argv[2];
    AssetTable table;
    if (!readTable(assetDir + "/assets.txt", table)) return 1;
    std::string gfx = out + "/gfx", sfx = out + "/sfx";
    mkdir(out.c_str(), 0755);
    mkdir(gfx.c_str(), 0755);
    mkdir(sfx.c_str(), 0755);

    std::vector<std::string> gfxFiles, sfxFiles;
    std::vector<SpriteArt> arts;
    std::vector<std::string> names;
    std::vector<SpriteArt> samples;
    std::vector<std::string> sampleNames;
    samples.reserve(table.fonts.size());
    arts.reserve(table.sprites.size() + table.fonts.size());
    for (const SpriteSpec& s : table.sprites) {
        arts.push_back(drawSprite(s));
        names.push_back(s.name);
        int n = s.anims;
        std::vector<int> w(n, s.w), h(n, s.h), hx(n, s.hotX), hy(n, s.hotY), sp(n), lp(n);
        for (int a = 0; a < n; ++a) {
            bool end = s.paired && (a & 1);
            sp[a] = end ? s.espeed : s.speed;
            lp[a] = end ? s.eloop : s.loop;
        }
        writeSprite(gfx, s.name, arts.back(), w, h, hx, hy, sp, lp, gfxFiles);
    }
    for (const FontSpec& f : table.fonts) {
        std::vector<int> widths;
        arts.push_back(drawFont(f, widths));
        names.push_back(f.name);
        int n = int(widths.size());
        std::vector<int> h(n, f.lineH), zero(n, 0), sp(n, 100);
        writeSprite(gfx, f.name, arts.back(), widths, h, zero, zero, sp, zero, gfxFiles);
        samples.push_back(textSample(arts.back(), widths,
                                     f.name == "font_00.bmp" ? "042    137"
                                                             : "Pokonanych much: 42\nPrzetrwano: 137s\n\nWpisz nick: Bzyk_2024",
                                     12, f.lineH));
        sampleNames.push_back(f.name + " as the game sets it");
    }
    for (const SoundSpec& s : table.sounds) {
        writeSound(sfx, s);
        sfxFiles.push_back(s.name);
    }
    writeList(out + "/gfx.list", gfx, gfxFiles);
    writeList(out + "/sfx.list", sfx, sfxFiles);

    std::vector<SheetItem> items;
    for (size_t i = 0; i < arts.size(); ++i) items.push_back({names[i], &arts[i]});
    for (size_t i = 0; i < samples.size(); ++i) items.push_back({sampleNames[i], &samples[i]});
    writeContactSheet(argv[3], items);
    return 0;
}
