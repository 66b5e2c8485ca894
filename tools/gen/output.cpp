// Pack entries (BMP, alpha plane, animation text) and the contact sheet.
#include "gen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

void put16(std::string& b, uint32_t v) {
    b += char(v & 255);
    b += char((v >> 8) & 255);
}
void put32(std::string& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "bzkgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Straight (not premultiplied) colour of a premultiplied ARGB32 pixel.
void unpremultiply(uint32_t v, int& r, int& g, int& b, int& a) {
    a = int(v >> 24);
    r = int((v >> 16) & 255);
    g = int((v >> 8) & 255);
    b = int(v & 255);
    if (a == 0) {
        r = g = b = 0;
    } else if (a < 255) {
        r = std::min(255, (r * 255 + a / 2) / a);
        g = std::min(255, (g * 255 + a / 2) / a);
        b = std::min(255, (b * 255 + a / 2) / a);
    }
}

}  // namespace

Layout layoutSprite(const SpriteArt& art, const std::vector<int>& frameW,
                    const std::vector<int>& frameH) {
    Layout l;
    int maxRow = 1024;
    for (size_t a = 0; a < art.anims.size(); ++a)
        maxRow = std::max(maxRow, int(art.anims[a].size()) * frameW[a]);
    int x = 0, y = 0, rowH = 0;
    for (size_t a = 0; a < art.anims.size(); ++a) {
        int rw = int(art.anims[a].size()) * frameW[a];
        if (x > 0 && x + rw > maxRow) {
            y += rowH;
            x = 0;
            rowH = 0;
        }
        l.x.push_back(x);
        l.y.push_back(y);
        x += rw;
        rowH = std::max(rowH, frameH[a]);
        l.width = std::max(l.width, x);
    }
    l.height = y + rowH;
    return l;
}

void writeSprite(const std::string& dir, const std::string& name, const SpriteArt& art,
                 const std::vector<int>& frameW, const std::vector<int>& frameH,
                 const std::vector<int>& hotX, const std::vector<int>& hotY,
                 const std::vector<int>& speed, const std::vector<int>& loop,
                 std::vector<std::string>& files) {
    Layout l = layoutSprite(art, frameW, frameH);
    int W = l.width, H = l.height;
    std::vector<uint32_t> canvas(size_t(W) * H, 0);
    for (size_t a = 0; a < art.anims.size(); ++a)
        for (size_t f = 0; f < art.anims[a].size(); ++f) {
            const Frame& fr = art.anims[a][f];
            fr.flush();
            const uint32_t* p = fr.px();
            for (int y = 0; y < fr.h(); ++y)
                for (int x = 0; x < fr.w(); ++x)
                    canvas[size_t(l.y[a] + y) * W + l.x[a] + int(f) * frameW[a] + x] = p[y * fr.w() + x];
        }

    // 24-bit BMP, bottom-up rows padded to four bytes.
    int rowBytes = (W * 3 + 3) & ~3;
    std::string bmp;
    bmp += "BM";
    put32(bmp, 54 + rowBytes * H);
    put32(bmp, 0);
    put32(bmp, 54);
    put32(bmp, 40);
    put32(bmp, W);
    put32(bmp, H);
    put16(bmp, 1);
    put16(bmp, 24);
    put32(bmp, 0);
    put32(bmp, rowBytes * H);
    put32(bmp, 2835);
    put32(bmp, 2835);
    put32(bmp, 0);
    put32(bmp, 0);
    std::string alpha;
    alpha.resize(size_t(W) * H);
    for (int y = H - 1; y >= 0; --y) {
        for (int x = 0; x < W; ++x) {
            int r, g, b, a;
            unpremultiply(canvas[size_t(y) * W + x], r, g, b, a);
            if (art.colourKey) {
                if (a < 128) {
                    r = 255; g = 0; b = 255;
                } else if (r == 255 && b == 255 && g < 255) {
                    b = 254;  // a real pixel must not fall into the key's family
                }
            }
            bmp += char(b);
            bmp += char(g);
            bmp += char(r);
            alpha[size_t(y) * W + x] = char(a);
        }
        for (int p = W * 3; p < rowBytes; ++p) bmp += '\0';
    }
    std::string base = name.substr(0, name.size() - 3);
    writeFile(dir + "/" + name, bmp);
    files.push_back(name);
    if (!art.colourKey) {
        writeFile(dir + "/" + base + "smt", alpha);
        files.push_back(base + "smt");
    }
    std::string txt;
    char line[160];
    for (size_t a = 0; a < art.anims.size(); ++a) {
        std::snprintf(line, sizeof line, "%d %d %d %d %d %d %d %d %d\n", int(art.anims[a].size()),
                      l.x[a], l.y[a], frameW[a], frameH[a], hotX[a], hotY[a], speed[a], loop[a]);
        txt += line;
    }
    writeFile(dir + "/" + base + "txt", txt);
    files.push_back(base + "txt");
}

// ---- Contact sheet -------------------------------------------------------

namespace {

const int sheetW = 1800;
const int margin = 16;

// Lays the sheet out; draws when cr is given. Returns the height used.
int sheetPass(cairo_t* cr, const std::vector<SheetItem>& items) {
    int y = margin;
    if (cr) {
        cairo_set_source_rgb(cr, 0.92, 0.93, 0.96);
        drawLabel(cr, "DejaVuSans-Bold.ttf", 22, margin, y + 20, "Bzykolot 2 \xe2\x80\x94 every sprite, animation and frame at 2x");
    }
    y += 40;
    for (const SheetItem& it : items) {
        if (cr) {
            cairo_set_source_rgb(cr, 0.37, 0.95, 0.76);
            drawLabel(cr, "DejaVuSans-Bold.ttf", 15, margin, y + 14, it.name);
            char info[64];
            std::snprintf(info, sizeof info, "%d animations", int(it.art->anims.size()));
            cairo_set_source_rgb(cr, 0.6, 0.63, 0.7);
            double nameW = labelWidth(cr, "DejaVuSans-Bold.ttf", 15, it.name);
            drawLabel(cr, "DejaVuSans.ttf", 12, margin + std::max(190.0, nameW + 16), y + 14, info);
        }
        y += 22;
        int x = margin, rowH = 0;
        for (size_t a = 0; a < it.art->anims.size(); ++a) {
            const auto& frames = it.art->anims[a];
            int fw = frames[0].w() * 2, fh = frames[0].h() * 2;
            int perRow = std::max(1, (sheetW - 2 * margin) / (fw + 2));
            int n = int(frames.size());
            int cols = std::min(n, perRow), rows = (n + perRow - 1) / perRow;
            int bw = cols * (fw + 2), bh = rows * (fh + 2) + 14;
            if (x > margin && x + bw > sheetW - margin) {
                x = margin;
                y += rowH + 8;
                rowH = 0;
            }
            if (cr) {
                cairo_set_source_rgb(cr, 0.6, 0.63, 0.7);
                drawLabel(cr, "DejaVuSans.ttf", 10, x, y + 10, std::to_string(a));
                for (int f = 0; f < n; ++f) {
                    int fx = x + (f % perRow) * (fw + 2), fy = y + 14 + (f / perRow) * (fh + 2);
                    // Checkerboard shows what is transparent.
                    for (int cy = 0; cy < fh; cy += 8)
                        for (int cx = 0; cx < fw; cx += 8) {
                            bool dark = ((cx + cy) / 8) & 1;
                            cairo_set_source_rgb(cr, dark ? 0.17 : 0.21, dark ? 0.18 : 0.22, dark ? 0.22 : 0.27);
                            cairo_rectangle(cr, fx + cx, fy + cy, std::min(8, fw - cx), std::min(8, fh - cy));
                            cairo_fill(cr);
                        }
                    cairo_save(cr);
                    cairo_translate(cr, fx, fy);
                    cairo_scale(cr, 2, 2);
                    cairo_set_source_surface(cr, frames[f].s, 0, 0);
                    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
                    cairo_paint(cr);
                    cairo_restore(cr);
                }
            }
            x += bw + 10;
            rowH = std::max(rowH, bh);
        }
        y += rowH + 18;
    }
    return y + margin;
}

}  // namespace

void writeContactSheet(const std::string& path, const std::vector<SheetItem>& items) {
    int h = sheetPass(nullptr, items);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, sheetW, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.09, 0.1, 0.13);
    cairo_paint(cr);
    sheetPass(cr, items);
    cairo_destroy(cr);
    if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "bzkgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    cairo_surface_destroy(s);
}
