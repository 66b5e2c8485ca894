// bzkgen: draws every sprite and synthesizes every sound the game names in
// assets/assets.txt, and writes them as pack entries (bmp + smt + txt, wav).
#pragma once
#include <cairo.h>
#include <cstdint>
#include <string>
#include <vector>

// ---- The asset table -----------------------------------------------------

struct SpriteSpec {
    std::string name;    // entry name, "kursor.bmp"
    std::string maker;   // drawing routine, with ":" arguments ("icon:bomb")
    int anims = 0, w = 0, h = 0, hotX = 0, hotY = 0;
    int frames = 1, speed = 100, loop = 0;
    bool paired = false;  // odd animations use the e* fields
    int eframes = 0, espeed = 100, eloop = 0;
    int framesOf(int anim) const { return paired && (anim & 1) ? eframes : frames; }
};

struct FontSpec {
    std::string name, ttf;
    int pixels = 0, lineH = 0, digitW = 0, maxW = 0;
};

struct SoundSpec {
    std::string name, maker;
    int rate = 0, channels = 0, bits = 0;
};

struct AssetTable {
    std::vector<SpriteSpec> sprites;
    std::vector<FontSpec> fonts;
    std::vector<SoundSpec> sounds;
};

// Reads the table; false with a message on stderr for a malformed line.
bool readTable(const std::string& path, AssetTable& table);

// ---- Pictures ------------------------------------------------------------

// One frame: a premultiplied ARGB32 cairo surface, owned.
struct Frame {
    cairo_surface_t* s = nullptr;
    Frame() = default;
    Frame(int w, int h);
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
    Frame(Frame&& o) noexcept : s(o.s) { o.s = nullptr; }
    Frame& operator=(Frame&& o) noexcept;
    ~Frame();
    int w() const;
    int h() const;
    uint32_t* px() const;   // premultiplied 0xAARRGGBB; stride is w * 4
    void flush() const { cairo_surface_flush(s); }
    void dirty() const { cairo_surface_mark_dirty(s); }
};

struct SpriteArt {
    std::vector<std::vector<Frame>> anims;  // anims[a][f], each def.w x def.h
    bool colourKey = false;                 // no alpha plane: magenta background
};

// Where the SVG sources are (set once by main).
extern std::string assetDir;

// Renders element #id (or the whole document when id is empty) of
// assets/file onto cr, whose current matrix maps the SVG's viewBox units;
// the document is laid out in a viewport of vw x vh. Exits on a bad file.
void renderSvg(cairo_t* cr, const std::string& file, const std::string& id,
               double vw, double vh);

// Draws one sprite as the table describes it; exits on an unknown maker.
SpriteArt drawSprite(const SpriteSpec& def);
// Renders the glyphs of a font (95 animations of one frame each).
SpriteArt drawFont(const FontSpec& def, std::vector<int>& widths);

// Soft drop shadow under the opaque parts of f (offset dx, dy, blurred).
void addShadow(Frame& f, int dx, int dy, double opacity);
// Multiplies the alpha (and colour, premultiplied) of every pixel by k.
void fadeFrame(Frame& f, double k);

// ---- Output --------------------------------------------------------------

struct Layout {
    int width = 0, height = 0;
    std::vector<int> x, y;  // top-left of each animation's first frame
};
// Shelf layout of the animation rows: deterministic, left to right.
Layout layoutSprite(const SpriteArt& art, const std::vector<int>& frameW,
                    const std::vector<int>& frameH);

// Writes name.bmp (24-bit, straight colour), name.smt (unless colour keyed)
// and name.txt into dir; appends the written file names to files.
void writeSprite(const std::string& dir, const std::string& name, const SpriteArt& art,
                 const std::vector<int>& frameW, const std::vector<int>& frameH,
                 const std::vector<int>& hotX, const std::vector<int>& hotY,
                 const std::vector<int>& speed, const std::vector<int>& loop,
                 std::vector<std::string>& files);

// Synthesizes and writes one WAV (PCM, the table's rate, channels and bits).
void writeSound(const std::string& dir, const SoundSpec& def);

// Contact sheet: every sprite, animation and frame at 2x, labelled.
struct SheetItem {
    std::string name;
    const SpriteArt* art;
};
void writeContactSheet(const std::string& path, const std::vector<SheetItem>& items);

// Text for labels with DejaVu through cairo-ft (file name under the font dir).
void drawLabel(cairo_t* cr, const std::string& ttf, double px, double x, double y,
               const std::string& text);
double labelWidth(cairo_t* cr, const std::string& ttf, double px, const std::string& text);
extern const char* fontDir;
