// The two bitmap fonts, rendered from DejaVu: animation k is the glyph of
// character 32 + k, hot spot (0, 0), every glyph one line high. The game
// advances the pen by a glyph's width + 1, so widths are the advance - 1.
#include "gen.h"

#include <algorithm>
#include <cmath>

namespace {

bool isHud(const FontSpec& f) { return f.name == "font_00.bmp"; }

}  // namespace

SpriteArt drawFont(const FontSpec& def, std::vector<int>& widths) {
    SpriteArt art;
    bool hud = isHud(def);
    // HUD glyphs carry a full ink outline to read over explosions; panel
    // glyphs sit on the dark panel and only need a drop shadow.
    double outline = hud ? 1.0 : 0.0;
    Frame probe(4, 4);
    cairo_t* pc = cairo_create(probe.s);
    labelWidth(pc, def.ttf, def.pixels, "0");
    cairo_font_extents_t fe;
    cairo_font_extents(pc, &fe);
    double baseline = std::round(outline + fe.ascent * (hud ? 0.98 : 0.95));
    for (int c = 32; c < 127; ++c) {
        std::string s(1, char(c));
        cairo_text_extents_t e;
        labelWidth(pc, def.ttf, def.pixels, s);
        cairo_text_extents(pc, s.c_str(), &e);
        bool digit = c >= '0' && c <= '9';
        double inkL = std::min(0.0, e.x_bearing);
        double inkR = std::max(e.x_advance, e.x_bearing + e.width);
        double natural = inkR - inkL + 2 * outline + (hud ? 0 : 1);
        int w;
        if (digit) w = def.digitW;
        else w = std::max(1, int(std::ceil(e.x_advance + 2 * outline)) - 1);
        w = std::min(w, def.maxW);
        // Too wide for its box: condense horizontally rather than clip.
        double sx = std::min(1.0, (w + (digit ? 0.0 : 1.0)) / natural);
        double x0 = (w - (inkR - inkL) * sx - (digit ? 0 : 1)) / 2 - inkL * sx;
        if (!digit && sx == 1.0) x0 = outline - inkL;
        widths.push_back(w);
        Frame f(w, def.lineH);
        cairo_t* cr = cairo_create(f.s);
        if (c != ' ') {
            cairo_translate(cr, x0, 0);
            cairo_scale(cr, sx, 1);
            labelWidth(cr, def.ttf, def.pixels, s);
            cairo_move_to(cr, 0, baseline);
            cairo_text_path(cr, s.c_str());
            if (hud) {
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
                cairo_set_line_width(cr, 2.2 * outline);
                cairo_set_source_rgba(cr, 0.07, 0.05, 0.1, 0.95);
                cairo_stroke_preserve(cr);
                cairo_pattern_t* g = cairo_pattern_create_linear(0, baseline - fe.ascent * 0.75, 0, baseline);
                cairo_pattern_add_color_stop_rgb(g, 0, 1.0, 0.98, 0.86);
                cairo_pattern_add_color_stop_rgb(g, 1, 1.0, 0.78, 0.25);
                cairo_set_source(cr, g);
                cairo_fill(cr);
                cairo_pattern_destroy(g);
            } else {
                cairo_path_t* path = cairo_copy_path(cr);
                cairo_new_path(cr);
                cairo_save(cr);
                cairo_translate(cr, 1, 1);
                cairo_append_path(cr, path);
                cairo_set_source_rgba(cr, 0.0, 0.0, 0.05, 0.85);
                cairo_fill(cr);
                cairo_restore(cr);
                cairo_append_path(cr, path);
                cairo_set_source_rgb(cr, 0.93, 0.95, 0.98);
                cairo_fill(cr);
                cairo_path_destroy(path);
            }
        }
        cairo_destroy(cr);
        art.anims.emplace_back();
        art.anims.back().push_back(std::move(f));
    }
    cairo_destroy(pc);
    return art;
}
