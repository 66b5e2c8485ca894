// Frames, SVG rendering through librsvg, small pixel effects and labels.
#include "gen.h"

#include <cairo-ft.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

std::string assetDir;
const char* fontDir = "/usr/share/fonts/truetype/dejavu/";

Frame::Frame(int w, int h) : s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)) {}

Frame& Frame::operator=(Frame&& o) noexcept {
    if (this != &o) {
        if (s) cairo_surface_destroy(s);
        s = o.s;
        o.s = nullptr;
    }
    return *this;
}

Frame::~Frame() {
    if (s) cairo_surface_destroy(s);
}

int Frame::w() const { return cairo_image_surface_get_width(s); }
int Frame::h() const { return cairo_image_surface_get_height(s); }
uint32_t* Frame::px() const {
    // ARGB32 rows are w * 4 bytes for every width we use (no padding needed).
    return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
}

// ---- SVG -----------------------------------------------------------------

namespace {

std::map<std::string, RsvgHandle*>& svgCache() {
    static std::map<std::string, RsvgHandle*> cache;
    return cache;
}

RsvgHandle* svgHandle(const std::string& file) {
    auto& cache = svgCache();
    auto it = cache.find(file);
    if (it != cache.end()) return it->second;
    GError* err = nullptr;
    std::string path = assetDir + "/" + file;
    RsvgHandle* h = rsvg_handle_new_from_file(path.c_str(), &err);
    if (!h) {
        std::fprintf(stderr, "bzkgen: %s: %s\n", path.c_str(), err ? err->message : "unreadable");
        std::exit(1);
    }
    cache[file] = h;
    return h;
}

}  // namespace

void renderSvg(cairo_t* cr, const std::string& file, const std::string& id, double vw, double vh) {
    RsvgHandle* h = svgHandle(file);
    RsvgRectangle vp{0, 0, vw, vh};
    GError* err = nullptr;
    gboolean ok = id.empty() ? rsvg_handle_render_document(h, cr, &vp, &err)
                             : rsvg_handle_render_layer(h, cr, ("#" + id).c_str(), &vp, &err);
    if (!ok) {
        std::fprintf(stderr, "bzkgen: %s#%s: %s\n", file.c_str(), id.c_str(),
                     err ? err->message : "no such element");
        std::exit(1);
    }
}

// ---- Effects -------------------------------------------------------------

void fadeFrame(Frame& f, double k) {
    f.flush();
    uint32_t* p = f.px();
    int n = f.w() * f.h();
    for (int i = 0; i < n; ++i) {
        uint32_t v = p[i], out = 0;
        for (int sh = 0; sh < 32; sh += 8) {
            double c = ((v >> sh) & 255) * k;
            out |= uint32_t(std::clamp(c + 0.5, 0.0, 255.0)) << sh;
        }
        p[i] = out;
    }
    f.dirty();
}

void addShadow(Frame& f, int dx, int dy, double opacity) {
    f.flush();
    int w = f.w(), h = f.h();
    uint32_t* p = f.px();
    std::vector<double> a(w * h), b(w * h);
    for (int i = 0; i < w * h; ++i) a[i] = (p[i] >> 24) / 255.0;
    // Two passes of a 3x3 box blur: soft, but still hugging the shape.
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double sum = 0;
                for (int v = -1; v <= 1; ++v)
                    for (int u = -1; u <= 1; ++u) {
                        int xx = x + u, yy = y + v;
                        if (xx >= 0 && yy >= 0 && xx < w && yy < h) sum += a[yy * w + xx];
                    }
                b[y * w + x] = sum / 9;
            }
        a.swap(b);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int sx = x - dx, sy = y - dy;
            double sa = (sx >= 0 && sy >= 0 && sx < w && sy < h) ? a[sy * w + sx] * opacity : 0;
            uint32_t v = p[y * w + x];
            double da = (v >> 24) / 255.0;
            double k = sa * (1 - da);  // shadow shows only where the picture does not
            double oa = da + k;
            uint32_t A = uint32_t(std::lround(oa * 255));
            // Shadow colour: the palette's ink (16, 12, 24), premultiplied.
            uint32_t R = std::min(255u, ((v >> 16) & 255) + uint32_t(std::lround(16 * k)));
            uint32_t G = std::min(255u, ((v >> 8) & 255) + uint32_t(std::lround(12 * k)));
            uint32_t B = std::min(255u, (v & 255) + uint32_t(std::lround(24 * k)));
            p[y * w + x] = (A << 24) | (std::min(R, A) << 16) | (std::min(G, A) << 8) | std::min(B, A);
        }
    f.dirty();
}

// ---- Labels --------------------------------------------------------------

namespace {

cairo_font_face_t* fontFace(const std::string& ttf) {
    static FT_Library lib = nullptr;
    static std::map<std::string, cairo_font_face_t*> faces;
    auto it = faces.find(ttf);
    if (it != faces.end()) return it->second;
    if (!lib && FT_Init_FreeType(&lib)) {
        std::fprintf(stderr, "bzkgen: FreeType did not start\n");
        std::exit(1);
    }
    FT_Face face;
    std::string path = std::string(fontDir) + ttf;
    if (FT_New_Face(lib, path.c_str(), 0, &face)) {
        std::fprintf(stderr, "bzkgen: cannot open font %s\n", path.c_str());
        std::exit(1);
    }
    cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, 0);
    faces[ttf] = cf;
    return cf;
}

void setFont(cairo_t* cr, const std::string& ttf, double px) {
    cairo_set_font_face(cr, fontFace(ttf));
    cairo_set_font_size(cr, px);
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

}  // namespace

void drawLabel(cairo_t* cr, const std::string& ttf, double px, double x, double y,
               const std::string& text) {
    setFont(cr, ttf, px);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text.c_str());
}

double labelWidth(cairo_t* cr, const std::string& ttf, double px, const std::string& text) {
    setFont(cr, ttf, px);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    return e.x_advance;
}
