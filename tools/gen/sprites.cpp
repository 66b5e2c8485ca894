// The drawing routines named in the asset table. Drawn pictures come from the
// SVG files in assets/; fire, glow and particles are computed.
#include "gen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const double pi = 3.141592653589793;

// ---- Small helpers ---------------------------------------------------------

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double smooth(double e0, double e1, double v) {
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Value noise in three dimensions over a lattice shuffled with rand().
struct Noise {
    int perm[512];
    double val[256];
    explicit Noise(unsigned seed) {
        srand(seed);
        for (int i = 0; i < 256; ++i) {
            perm[i] = i;
            val[i] = rand() / double(RAND_MAX);
        }
        for (int i = 255; i > 0; --i) std::swap(perm[i], perm[rand() % (i + 1)]);
        for (int i = 0; i < 256; ++i) perm[256 + i] = perm[i];
    }
    double lattice(int x, int y, int z) const {
        return val[perm[perm[perm[x & 255] + (y & 255)] + (z & 255)]];
    }
    double at(double x, double y, double z) const {
        int xi = int(std::floor(x)), yi = int(std::floor(y)), zi = int(std::floor(z));
        double fx = x - xi, fy = y - yi, fz = z - zi;
        auto s = [](double t) { return t * t * (3 - 2 * t); };
        double u = s(fx), v = s(fy), w = s(fz);
        double r = 0;
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i)
                    r += lattice(xi + i, yi + j, zi + k) * (i ? u : 1 - u) * (j ? v : 1 - v) * (k ? w : 1 - w);
        return r;
    }
    double fbm(double x, double y, double z, int octaves = 4) const {
        double sum = 0, amp = 0.5, norm = 0;
        for (int o = 0; o < octaves; ++o) {
            sum += at(x, y, z) * amp;
            norm += amp;
            x *= 2.03; y *= 2.03; z *= 1.7;
            amp *= 0.5;
        }
        return sum / norm;
    }
};

uint32_t hash(uint32_t x) {
    x ^= x >> 16; x *= 0x7feb352d; x ^= x >> 15; x *= 0x846ca68b; x ^= x >> 16;
    return x;
}
double hash01(int a, int b, int c = 0) {
    return hash(uint32_t(a) * 73856093u ^ uint32_t(b) * 19349663u ^ uint32_t(c) * 83492791u) / 4294967295.0;
}

// Straight RGBA into a premultiplied pixel.
uint32_t pack(double r, double g, double b, double a) {
    a = clamp01(a);
    auto c = [&](double v) { return uint32_t(std::lround(clamp01(v) * a * 255)); };
    return (uint32_t(std::lround(a * 255)) << 24) | (c(r) << 16) | (c(g) << 8) | c(b);
}

struct Rgb { double r, g, b; };
Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

uint32_t overPx(uint32_t top, uint32_t under);

// Fire colour ramp from cool smoke to white heat.
Rgb fireRamp(double h) {
    static const Rgb stops[] = {{0.16, 0.13, 0.15}, {0.45, 0.09, 0.06}, {0.85, 0.22, 0.08},
                                {1.0, 0.55, 0.12},  {1.0, 0.84, 0.3},   {1.0, 0.98, 0.85}};
    h = clamp01(h) * 5;
    int i = std::min(4, int(h));
    return mix(stops[i], stops[i + 1], h - i);
}

// A frame drawn by a per-pixel function f(x, y) -> premultiplied pixel,
// sampled 3x3 per pixel so computed shapes are anti-aliased like vectors.
template <typename F>
Frame shade(int w, int h, F f) {
    Frame fr(w, h);
    fr.flush();
    uint32_t* p = fr.px();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double acc[4] = {0, 0, 0, 0};
            for (int sy = 0; sy < 3; ++sy)
                for (int sx = 0; sx < 3; ++sx) {
                    uint32_t v = f(x + (sx + 0.5) / 3, y + (sy + 0.5) / 3);
                    for (int c = 0; c < 4; ++c) acc[c] += (v >> (8 * c)) & 255;
                }
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) out |= uint32_t(std::lround(acc[c] / 9)) << (8 * c);
            p[y * w + x] = out;
        }
    fr.dirty();
    return fr;
}

// One SVG element drawn into a w x h frame, rotated by `deg` (counter-
// clockwise on screen) about the frame centre and moved by (dx, dy).
Frame svgFrame(int w, int h, const std::string& file, const std::string& id, double deg = 0,
               double dx = 0, double dy = 0, double scale = 1) {
    Frame f(w, h);
    cairo_t* cr = cairo_create(f.s);
    cairo_translate(cr, w / 2.0 + dx, h / 2.0 + dy);
    cairo_rotate(cr, -deg * pi / 180);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -w / 2.0, -h / 2.0);
    renderSvg(cr, file, id, w, h);
    cairo_destroy(cr);
    return f;
}

// Paints src over dst.
void over(Frame& dst, const Frame& src, double dx = 0, double dy = 0, double alpha = 1) {
    cairo_t* cr = cairo_create(dst.s);
    cairo_set_source_surface(cr, src.s, dx, dy);
    cairo_paint_with_alpha(cr, alpha);
    cairo_destroy(cr);
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == sep) out.emplace_back();
        else out.back() += c;
    }
    return out;
}

// ---- Cursor ------------------------------------------------------------------

// The look of health 6 - j crumbling away: pieces slip and fall apart, the
// more the more damaged the look already is, while everything fades.
Frame crumble(const Frame& look, int j, int f, int frames) {
    double u = double(f + 1) / frames;
    double damage = 0.35 + j * 0.13;
    int w = look.w(), h = look.h();
    look.flush();
    const uint32_t* src = look.px();
    Frame out(w, h);
    out.flush();
    uint32_t* dst = out.px();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t v = src[y * w + x];
            if (!(v >> 24)) continue;
            int cx = x / 3, cy = y / 4;  // chunks of 3 x 4 pixels fall together
            double fall = u * u * (2 + 9 * hash01(cx, cy, j)) * damage;
            double drift = u * (hash01(cx, cy, j + 7) - 0.5) * 4 * damage;
            int nx = x + int(std::lround(drift)), ny = y + int(std::lround(fall));
            if (nx < 0 || nx >= w || ny < 0 || ny >= h) continue;
            if (hash01(x, y, j + 99) < u * u * 0.9) continue;  // dissolving grains
            double k = std::pow(1 - u, 0.8);
            uint32_t o = 0;
            for (int c = 0; c < 4; ++c) o |= uint32_t(std::lround(((v >> (8 * c)) & 255) * k)) << (8 * c);
            dst[ny * w + nx] = o;
        }
    out.dirty();
    return out;
}

SpriteArt cursor(const SpriteSpec& s) {
    SpriteArt art;
    for (int a = 0; a < s.anims; ++a) {
        int j = a / 2;
        Frame look = svgFrame(s.w, s.h, "kursor.svg", "look" + std::to_string(j));
        art.anims.emplace_back();
        if (a % 2 == 0) {
            for (int f = 0; f < s.frames; ++f) art.anims.back().push_back(svgFrame(s.w, s.h, "kursor.svg", "look" + std::to_string(j)));
        } else {
            for (int f = 0; f < s.eframes; ++f) art.anims.back().push_back(crumble(look, j, f, s.eframes));
        }
    }
    return art;
}

// ---- Fly -------------------------------------------------------------------

// Heading sector k points at (k + 0.5) * 360 / sectors degrees counter-
// clockwise from "moving right"; the SVG fly faces right, head first.
SpriteArt fly(const SpriteSpec& s) {
    SpriteArt art;
    int sectors = s.anims / 2;
    for (int a = 0; a < s.anims; ++a) {
        double deg = (a / 2 + 0.5) * 360.0 / sectors;
        bool dead = a & 1;
        art.anims.emplace_back();
        for (int f = 0; f < s.framesOf(a); ++f) {
            Frame fr(s.w, s.h);
            if (dead) {
                over(fr, svgFrame(s.w, s.h, "mucha.svg", "dead_wings", deg));
                over(fr, svgFrame(s.w, s.h, "mucha.svg", "dead_body", deg));
                over(fr, svgFrame(s.w, s.h, "mucha.svg", "dead_legs" + std::to_string(f % 2), deg));
            } else {
                over(fr, svgFrame(s.w, s.h, "mucha.svg", "legs", deg));
                over(fr, svgFrame(s.w, s.h, "mucha.svg", "body", deg));
                over(fr, svgFrame(s.w, s.h, "mucha.svg", "wings" + std::to_string(f % 3), deg));
            }
            addShadow(fr, 1, 2, 0.45);
            art.anims.back().push_back(std::move(fr));
        }
    }
    return art;
}

// ---- Fire and glow ---------------------------------------------------------

struct FireStyle {
    unsigned seed;
    double heat;    // how hot the core burns
    double smoke;   // how much dark smoke it leaves
    double swirl;   // noise scale
};

SpriteArt fireball(const SpriteSpec& s) {
    static const FireStyle styles[] = {
        {11, 1.0, 0.5, 1.0}, {23, 1.15, 0.3, 1.3}, {37, 0.9, 0.8, 0.8}, {53, 1.05, 0.55, 1.6}};
    SpriteArt art;
    for (int a = 0; a < s.anims; ++a) {
        const FireStyle& st = styles[a % 4];
        Noise n(st.seed + a * 101);
        art.anims.emplace_back();
        for (int f = 0; f < s.frames; ++f) {
            double t = (f + 0.5) / s.frames;
            double R = s.w * 0.47 * (0.4 + 0.6 * (1 - std::pow(1 - t, 2.5)));
            double shockR = 8 + 52 * std::sqrt(t / 0.45), shockA = t < 0.45 ? 0.75 * (1 - t / 0.45) : 0;
            double cx = s.w / 2.0, cy = s.h / 2.0;
            art.anims.back().push_back(shade(s.w, s.h, [&](double x, double y) {
                double dx = (x - cx) / R, dy = (y - cy) / R;
                double d = std::sqrt(dx * dx + dy * dy);
                if (d > 1.6 && shockA == 0) return 0u;
                // Sample the noise in a frame that streams outwards with time.
                double ang = std::atan2(dy, dx);
                double q = st.swirl * 3.2;
                double turb = n.fbm(dx * q + 10, dy * q + 10 - t * 1.5, t * 2.5 + a * 5);
                double lobes = n.fbm(std::cos(ang) * 1.5 + 20, std::sin(ang) * 1.5 + 20, t * 1.2);
                double edge = 0.82 + (lobes - 0.5) * 0.7 + (turb - 0.5) * 0.5;
                double density = smooth(edge + 0.12, edge - 0.12, d);
                density *= smooth(1.0, 0.55, t) * 0.55 + 0.45 * (1 - t * t);
                // Late in its life the ball breaks up into holes of smoke.
                density *= smooth(t * 0.6 - 0.05, t * 0.6 + 0.2, turb + 0.35);
                double heat = st.heat * (1.15 - d * 0.8) * (1 - t * 0.85) + (turb - 0.5) * 0.7 - st.smoke * t * 0.4;
                heat = clamp01(heat * (1.1 - 0.3 * t));
                if (t < 0.12) heat = std::max(heat, (0.12 - t) / 0.12 * (1 - d));  // the flash
                Rgb c = fireRamp(heat);
                double alpha = density * (heat > 0.2 ? 1.0 : 0.55 + 0.45 * st.smoke) * smooth(1.06, 0.8, t);
                // The shock ring runs out to the blast's reach (63 px).
                double dpx = d * R;
                double ring = shockA * std::exp(-std::pow((dpx - shockR) / 2.2, 2)) * (0.75 + 0.5 * turb);
                return overPx(pack(c.r, c.g, c.b, alpha), pack(1.0, 0.82, 0.5, ring));
            }));
        }
    }
    return art;
}

SpriteArt glow(const SpriteSpec& s) {
    static const Rgb colours[] = {{0.72, 0.45, 1.0}, {0.45, 1.0, 0.75}, {0.5, 0.85, 1.0}};
    SpriteArt art;
    for (int a = 0; a < s.anims; ++a) {
        Rgb c = colours[a % 3];
        Noise n(200 + a);
        art.anims.emplace_back();
        for (int f = 0; f < s.frames; ++f) {
            double t = (f + 0.5) / s.frames;
            double cx = s.w / 2.0, cy = s.h / 2.0;
            double ringR = s.w * 0.46 * (0.15 + 0.85 * std::sqrt(t));
            double fade = smooth(1.0, 0.55, t);
            art.anims.back().push_back(shade(s.w, s.h, [&](double x, double y) {
                double dx = x - cx, dy = y - cy;
                double d = std::sqrt(dx * dx + dy * dy);
                double ang = std::atan2(dy, dx);
                double wob = (n.fbm(std::cos(ang) * 2 + 5, std::sin(ang) * 2 + 5, t * 3) - 0.5) * 6;
                double ring = std::exp(-std::pow((d - ringR - wob) / (1.5 + 3 * t), 2));
                double inner = std::exp(-d * d / (2 * std::pow(ringR * 0.55 + 2, 2))) * 0.45 * (1 - t);
                double rays = std::pow(std::max(0.0, std::cos(ang * 5 + t * 4 + a)), 8) *
                              smooth(ringR + 8, ringR * 0.3, d) * 0.35 * (1 - t);
                double v = (ring + inner + rays) * fade;
                Rgb col = mix(c, {1, 1, 1}, clamp01(ring * 0.6 + inner));
                return pack(col.r, col.g, col.b, v);
            }));
        }
    }
    return art;
}

// ---- Weapons in flight ------------------------------------------------------

// Glowing spark bits around a point, different per frame.
void sparks(Frame& fr, double x, double y, int f, int count, double spread) {
    cairo_t* cr = cairo_create(fr.s);
    for (int i = 0; i < count; ++i) {
        double ang = hash01(f, i, 1) * 2 * pi, r = hash01(f, i, 2) * spread;
        double px = x + std::cos(ang) * r, py = y + std::sin(ang) * r;
        double size = 0.5 + hash01(f, i, 3) * 0.8;
        cairo_pattern_t* g = cairo_pattern_create_radial(px, py, 0, px, py, size * 2.2);
        cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 0.85, 1);
        cairo_pattern_add_color_stop_rgba(g, 0.4, 1, 0.75, 0.2, 0.8);
        cairo_pattern_add_color_stop_rgba(g, 1, 1, 0.4, 0.1, 0);
        cairo_set_source(cr, g);
        cairo_arc(cr, px, py, size * 2.2, 0, 2 * pi);
        cairo_fill(cr);
        cairo_pattern_destroy(g);
    }
    cairo_destroy(cr);
}

SpriteArt grenade(const SpriteSpec& s) {
    SpriteArt art;
    for (int a = 0; a < s.anims; ++a) {
        art.anims.emplace_back();
        for (int f = 0; f < s.framesOf(a); ++f) {
            Frame fr = svgFrame(s.w, s.h, "granat.svg", "grenade");
            if (a == 1) {
                if (f % 2 == 0) over(fr, svgFrame(s.w, s.h, "granat.svg", "lamp"));
                sparks(fr, 16.5, 4.5, f, 5, 3.0);
            }
            addShadow(fr, 1, 1, 0.4);
            art.anims.back().push_back(std::move(fr));
        }
    }
    return art;
}

SpriteArt bomb(const SpriteSpec& s) {
    SpriteArt art;
    art.anims.emplace_back();
    for (int f = 0; f < s.frames; ++f) {
        Frame fr(s.w, s.h);
        // Air streaks above the tail, shifting each frame.
        cairo_t* cr = cairo_create(fr.s);
        for (int i = 0; i < 3; ++i) {
            double x = 2.5 + i * 3.5, len = 3 + 3 * hash01(f, i, 4);
            cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, len);
            cairo_pattern_add_color_stop_rgba(g, 0, 0.85, 0.92, 1, 0);
            cairo_pattern_add_color_stop_rgba(g, 1, 0.85, 0.92, 1, 0.55);
            cairo_set_source(cr, g);
            cairo_set_line_width(cr, 0.8);
            cairo_move_to(cr, x, 0.5 + hash01(f, i, 5) * 2);
            cairo_line_to(cr, x, len);
            cairo_stroke(cr);
            cairo_pattern_destroy(g);
        }
        cairo_destroy(cr);
        over(fr, svgFrame(s.w, s.h, "airstrike.svg", "bomb", (f % 2 ? 2.5 : -2.5)));
        art.anims.back().push_back(std::move(fr));
    }
    return art;
}

SpriteArt block(const SpriteSpec& s) {
    SpriteArt art;
    art.anims.emplace_back();
    for (int f = 0; f < s.frames; ++f) {
        Frame fr = svgFrame(s.w, s.h, "kurczak.svg", "");
        addShadow(fr, 2, 2, 0.4);
        art.anims.back().push_back(std::move(fr));
    }
    return art;
}

SpriteArt meteor(const SpriteSpec& s) {
    SpriteArt art;
    art.anims.emplace_back();
    Noise n(77);
    for (int f = 0; f < s.frames; ++f) {
        double t = double(f) / s.frames;
        // The trail streams up and to the right: the rock falls down-left.
        Frame fr = shade(s.w, s.h, [&](double x, double y) {
            double u = (x - 15) * 0.7071 - (y - 25) * 0.7071;   // along the trail
            double v = (x - 15) * 0.7071 + (y - 25) * 0.7071;   // across it
            if (u < -4) return 0u;
            double width = 5.5 + u * 0.12;
            double flick = n.fbm(u * 0.18 - t * 6, v * 0.3, t * 2 + 1);
            double body = smooth(width * (0.7 + flick * 0.6), 0, std::fabs(v)) * smooth(26 + flick * 8, 4, u);
            double heat = clamp01(body * 1.2 - u * 0.018 + (flick - 0.5) * 0.4);
            Rgb c = fireRamp(0.25 + heat * 0.75);
            return pack(c.r, c.g, c.b, body * 0.95);
        });
        over(fr, svgFrame(s.w, s.h, "meteor.svg", "rock", f * 360.0 / s.frames, -4, 4));
        art.anims.back().push_back(std::move(fr));
    }
    return art;
}

// ---- Particles ---------------------------------------------------------------

// A soft round blob of colour c: the building block of the small particles.
uint32_t blob(double x, double y, double cx, double cy, double r, Rgb c, double a, double hardness = 0.6) {
    double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) / r;
    return pack(c.r, c.g, c.b, a * smooth(1.0, hardness, d));
}

uint32_t overPx(uint32_t top, uint32_t under) {
    double ta = (top >> 24) / 255.0;
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        double v = ((top >> (8 * c)) & 255) + ((under >> (8 * c)) & 255) * (1 - ta);
        out |= uint32_t(std::lround(std::min(255.0, v))) << (8 * c);
    }
    return out;
}

Frame flameParticle(int w, int h, double t, double size, double cool, const Noise& n) {
    return shade(w, h, [&](double x, double y) {
        double cx = w / 2.0, cy = h / 2.0 + 1.5;
        double dx = (x - cx) / (size * 0.75), dy = (y - cy) / size;
        // Teardrop: round at the bottom, tapering upwards, flickering.
        double taper = dy < 0 ? 1 + dy * 0.9 * (0.7 + n.at(x * 0.5, t * 8, 3) * 0.6) : 1;
        double d = std::sqrt(dx * dx / std::max(0.05, taper * taper) + dy * dy);
        double dens = smooth(1.0, 0.55, d);
        Rgb c = fireRamp(clamp01((1.05 - d * 0.8) * (1 - cool) + 0.1));
        return pack(c.r, c.g, c.b, dens);
    });
}

Frame debris(int w, int h, double rot, double fade, double scale) {
    Frame fr(w, h);
    cairo_t* cr = cairo_create(fr.s);
    cairo_translate(cr, w / 2.0, h / 2.0);
    cairo_rotate(cr, rot);
    cairo_scale(cr, scale, scale);
    cairo_move_to(cr, -4.5, -1.5);
    cairo_line_to(cr, -1, -4);
    cairo_line_to(cr, 4, -2.5);
    cairo_line_to(cr, 3, 2.5);
    cairo_line_to(cr, -2, 3.5);
    cairo_close_path(cr);
    cairo_pattern_t* g = cairo_pattern_create_linear(-3, -3, 3, 3);
    cairo_pattern_add_color_stop_rgb(g, 0, 0.62, 0.55, 0.5);
    cairo_pattern_add_color_stop_rgb(g, 1, 0.3, 0.25, 0.24);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_source_rgb(cr, 0.1, 0.08, 0.1);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_move_to(cr, -1, -3.2);
    cairo_line_to(cr, 3.4, -2);
    cairo_set_source_rgba(cr, 0.9, 0.85, 0.8, 0.7);
    cairo_set_line_width(cr, 0.7);
    cairo_stroke(cr);
    cairo_destroy(cr);
    fadeFrame(fr, fade);
    return fr;
}

SpriteArt particle(const SpriteSpec& s) {
    SpriteArt art;
    Noise n(311);
    for (int a = 0; a < s.anims; ++a) {
        int kind = (a / 2) % 3;
        bool ending = a & 1;
        int frames = s.framesOf(a);
        art.anims.emplace_back();
        for (int f = 0; f < frames; ++f) {
            double u = ending ? double(f) / (frames - 1) : double(f) / frames;
            Frame fr;
            if (kind == 0) {  // flame licks, ending in a puff of smoke
                if (!ending) {
                    fr = flameParticle(s.w, s.h, u, 5.5, 0, n);
                } else {
                    Frame flame = flameParticle(s.w, s.h, u, 5.5 * (1 - u * 0.6), u * 1.2, n);
                    fadeFrame(flame, clamp01(1 - u * 1.6));
                    Frame smoke = shade(s.w, s.h, [&](double x, double y) {
                        return blob(x, y, s.w / 2.0, s.h / 2.0 - u * 3, 2 + u * 5,
                                    {0.35, 0.33, 0.36}, 0.6 * std::sin(pi * clamp01(u * 1.2)), 0.1);
                    });
                    over(smoke, flame);
                    fr = std::move(smoke);
                }
            } else if (kind == 1) {  // a tumbling chip of rock
                fr = debris(s.w, s.h, u * 2 * pi + (ending ? 1 : 0) * u * 6, ending ? 1 - u : 1,
                            ending ? 1 - u * 0.4 : 1);
            } else {  // an ember that cools down
                double pulse = 0.8 + 0.2 * std::sin(u * 2 * pi);
                double cool = ending ? u : 0;
                Rgb hot = mix({1, 0.85, 0.4}, {0.5, 0.08, 0.05}, cool);
                fr = shade(s.w, s.h, [&](double x, double y) {
                    uint32_t core = blob(x, y, s.w / 2.0, s.h / 2.0, 2.2, hot, pulse * (1 - cool * 0.6), 0.5);
                    uint32_t halo = blob(x, y, s.w / 2.0, s.h / 2.0, 6 * pulse, {1, 0.45, 0.1},
                                         0.35 * (1 - cool), 0.0);
                    return overPx(core, halo);
                });
            }
            art.anims.back().push_back(std::move(fr));
        }
    }
    return art;
}

SpriteArt blood(const SpriteSpec& s) {
    SpriteArt art;
    Rgb red{0.62, 0.04, 0.08};
    for (int a = 0; a < s.anims; ++a) {
        bool ending = a & 1;
        art.anims.emplace_back();
        for (int f = 0; f < s.framesOf(a); ++f) {
            double u = ending ? double(f) / (s.eframes - 1) : 0;
            art.anims.back().push_back(shade(s.w, s.h, [&](double x, double y) {
                double cx = s.w / 2.0, cy = s.h / 2.0;
                if (!ending) {  // a drop with a highlight
                    double dy = (y - cy - 0.5) / 3.0, dx = (x - cx) / (2.4 - (dy < 0 ? dy * 1.6 : 0) * 0.0);
                    double taper = dy < 0 ? 1 + dy * 0.8 : 1;
                    double d = std::sqrt(dx * dx / std::max(0.05, taper * taper) + dy * dy);
                    uint32_t drop = pack(red.r, red.g, red.b, smooth(1.0, 0.7, d));
                    uint32_t hl = blob(x, y, cx - 0.8, cy + (f ? 0.2 : 0.8), 0.9, {1, 0.7, 0.7}, 0.8 * smooth(1.0, 0.7, d));
                    return overPx(hl, drop);
                }
                // A splat: the drop flattens into droplets that dry and fade.
                double spread = 0.8 + u * 2.6;
                uint32_t acc = blob(x, y, cx, cy + u * 0.8, 2.4 - u * 0.8, mix(red, {0.3, 0.02, 0.04}, u), 1 - u, 0.5);
                for (int i = 0; i < 4; ++i) {
                    double ang = i * pi / 2 + 0.6;
                    acc = overPx(blob(x, y, cx + std::cos(ang) * spread, cy + std::sin(ang) * spread * 0.6 + u,
                                      0.9, red, (1 - u) * 0.9, 0.4), acc);
                }
                return acc;
            }));
        }
    }
    return art;
}

SpriteArt spark(const SpriteSpec& s) {
    SpriteArt art;
    for (int a = 0; a < s.anims; ++a) {
        bool ending = a & 1;
        art.anims.emplace_back();
        for (int f = 0; f < s.framesOf(a); ++f) {
            double u = ending ? double(f) / (s.eframes - 1) : 0;
            double size = ending ? 1 - u * 0.7 : (f ? 0.8 : 1.0);
            Rgb c = mix({1, 0.97, 0.75}, {1, 0.45, 0.1}, u);
            art.anims.back().push_back(shade(s.w, s.h, [&](double x, double y) {
                double dx = std::fabs(x - s.w / 2.0), dy = std::fabs(y - s.h / 2.0);
                double star = std::max(smooth(0.9, 0.2, dy) * smooth(3.8 * size, 0.5, dx),
                                       smooth(0.9, 0.2, dx) * smooth(3.8 * size, 0.5, dy));
                double core = smooth(1.8 * size, 0.3, std::sqrt(dx * dx + dy * dy));
                return pack(c.r, c.g, c.b, std::max(star, core) * (1 - u * 0.8));
            }));
        }
    }
    return art;
}

SpriteArt energy(const SpriteSpec& s) {
    SpriteArt art;
    Rgb c{0.45, 1.0, 0.82};
    for (int a = 0; a < s.anims; ++a) {
        bool ending = a & 1;
        art.anims.emplace_back();
        for (int f = 0; f < s.framesOf(a); ++f) {
            double u = ending ? double(f) / (s.eframes - 1) : double(f) / s.frames;
            art.anims.back().push_back(shade(s.w, s.h, [&](double x, double y) {
                double cx = s.w / 2.0, cy = s.h / 2.0;
                double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
                if (!ending) {
                    double pulse = 1 + 0.25 * std::sin(u * 2 * pi);
                    double ang = std::atan2(y - cy, x - cx) + u * pi / 2;
                    double glint = std::pow(std::fabs(std::cos(2 * ang)), 12) * smooth(4.5, 0, d);
                    double core = smooth(1.8 * pulse, 0.2, d), halo = smooth(4.6 * pulse, 0, d) * 0.45;
                    Rgb col = mix(c, {1, 1, 1}, core);
                    return pack(col.r, col.g, col.b, std::max(core + halo, glint * 0.8));
                }
                double r = 1.5 + u * 3.2;
                double ring = std::exp(-std::pow((d - r) / 0.8, 2)) * (1 - u);
                double core = smooth(1.6 * (1 - u), 0, d) * (1 - u);
                return pack(c.r, c.g, c.b, std::max(ring, core));
            }));
        }
    }
    return art;
}

// ---- Pick-ups, icons, menu, panel ------------------------------------------

SpriteArt crate(const SpriteSpec& s) {
    SpriteArt art;
    art.anims.emplace_back();
    for (int f = 0; f < s.frames; ++f) {
        Frame fr = svgFrame(s.w, s.h, "drop.svg", "crate");
        // A glint sweeps over the lid now and then, so the crate catches the eye.
        double gx = -6 + f * 5.0;
        cairo_t* cr = cairo_create(fr.s);
        cairo_set_operator(cr, CAIRO_OPERATOR_ATOP);
        cairo_pattern_t* g = cairo_pattern_create_linear(gx - 3, 0, gx + 3, 6);
        cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 1, 0);
        cairo_pattern_add_color_stop_rgba(g, 0.5, 1, 1, 0.9, 0.55);
        cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 1, 0);
        cairo_set_source(cr, g);
        cairo_paint(cr);
        cairo_pattern_destroy(g);
        cairo_destroy(cr);
        addShadow(fr, 1, 1, 0.4);
        art.anims.back().push_back(std::move(fr));
    }
    return art;
}

void greyOut(Frame& f) {
    f.flush();
    uint32_t* p = f.px();
    for (int i = 0; i < f.w() * f.h(); ++i) {
        uint32_t v = p[i];
        double a = (v >> 24) / 255.0;
        if (a == 0) continue;
        double r = ((v >> 16) & 255) / 255.0 / a, g = ((v >> 8) & 255) / 255.0 / a, b = (v & 255) / 255.0 / a;
        double l = (0.3 * r + 0.59 * g + 0.11 * b) * 0.55 + 0.06;
        p[i] = pack(l * 0.95, l * 0.97, l * 1.08, a * 0.8);
    }
    f.dirty();
}

SpriteArt icon(const SpriteSpec& s, const std::string& which) {
    SpriteArt art;
    for (int a = 0; a < 3; ++a) {
        Frame fr = svgFrame(s.w, s.h, "icons.svg", a == 2 ? "tile_pressed" : "tile");
        double shift = a == 2 ? 0.8 : 0;
        over(fr, svgFrame(s.w, s.h, "icons.svg", which, 0, shift, shift, a == 2 ? 0.94 : 1));
        if (a == 0) greyOut(fr);
        art.anims.emplace_back();
        art.anims.back().push_back(std::move(fr));
    }
    return art;
}

SpriteArt button(const SpriteSpec& s, const std::string& which, const std::string& label) {
    SpriteArt art;
    art.anims.emplace_back();
    for (int f = 0; f < s.frames; ++f) {
        bool pressed = f == 1;
        double sh = pressed ? 1 : 0;
        Frame fr = svgFrame(s.w, s.h, "buttons.svg", pressed ? "body_pressed" : "body");
        over(fr, svgFrame(s.w, s.h, "buttons.svg", "icon_" + which, 0, 0, sh));
        // The label runs up the button, read with the head tilted left.
        cairo_t* cr = cairo_create(fr.s);
        const char* ttf = "DejaVuSansCondensed-Bold.ttf";
        double px = 12;
        double tw = labelWidth(cr, ttf, px, label);
        cairo_translate(cr, s.w / 2.0 + 4.5, 88 - (60 - tw) / 2 + sh);
        cairo_rotate(cr, -pi / 2);
        cairo_set_source_rgba(cr, 0, 0, 0.05, 0.7);
        drawLabel(cr, ttf, px, 1, 1, label);
        cairo_set_source_rgb(cr, pressed ? 1.0 : 0.94, pressed ? 0.98 : 0.96, pressed ? 0.86 : 1.0);
        drawLabel(cr, ttf, px, 0, 0, label);
        cairo_destroy(cr);
        art.anims.back().push_back(std::move(fr));
    }
    return art;
}

// The window icon: the fly, heading up and to the right, on a mint tile.
SpriteArt windowIcon(const SpriteSpec& s) {
    SpriteArt art;
    art.colourKey = true;
    Frame fr = svgFrame(s.w, s.h, "ikona.svg", "");
    Frame fly(s.w, s.h);
    for (const char* id : {"legs", "body", "wings1"}) over(fly, svgFrame(s.w, s.h, "mucha.svg", id, 45, 0, 0, 1.05));
    addShadow(fly, 1, 1, 0.5);
    over(fr, fly);
    art.anims.emplace_back();
    art.anims.back().push_back(std::move(fr));
    return art;
}

SpriteArt whole(const SpriteSpec& s, const std::string& file, bool key) {
    SpriteArt art;
    art.colourKey = key;
    art.anims.emplace_back();
    for (int f = 0; f < s.frames; ++f) art.anims.back().push_back(svgFrame(s.w, s.h, file, ""));
    return art;
}

}  // namespace

SpriteArt drawSprite(const SpriteSpec& s) {
    std::vector<std::string> m = split(s.maker, ':');
    const std::string& k = m[0];
    SpriteArt art;
    if (k == "cursor") art = cursor(s);
    else if (k == "fly") art = fly(s);
    else if (k == "fireball") art = fireball(s);
    else if (k == "glow") art = glow(s);
    else if (k == "grenade") art = grenade(s);
    else if (k == "bomb") art = bomb(s);
    else if (k == "block") art = block(s);
    else if (k == "meteor") art = meteor(s);
    else if (k == "particle") art = particle(s);
    else if (k == "blood") art = blood(s);
    else if (k == "spark") art = spark(s);
    else if (k == "energy") art = energy(s);
    else if (k == "crate") art = crate(s);
    else if (k == "icon" && m.size() == 2) art = icon(s, m[1]);
    else if (k == "button" && m.size() == 3) art = button(s, m[1], m[2]);
    else if (k == "panel") art = whole(s, "panel.svg", false);
    else if (k == "icon32") art = windowIcon(s);
    else {
        std::fprintf(stderr, "bzkgen: %s: unknown maker %s\n", s.name.c_str(), s.maker.c_str());
        std::exit(1);
    }
    // The table is the contract: a routine that drew something else is a bug.
    if (int(art.anims.size()) != s.anims) {
        std::fprintf(stderr, "bzkgen: %s: drew %d animations, table says %d\n", s.name.c_str(),
                     int(art.anims.size()), s.anims);
        std::exit(1);
    }
    for (int a = 0; a < s.anims; ++a)
        if (int(art.anims[a].size()) != s.framesOf(a)) {
            std::fprintf(stderr, "bzkgen: %s: animation %d has %d frames, table says %d\n",
                         s.name.c_str(), a, int(art.anims[a].size()), s.framesOf(a));
            std::exit(1);
        }
    return art;
}
