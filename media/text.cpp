// Bitmap text: one glyph blit per character, laid out on every draw.
#include "media/text.h"

#include <cstdio>

#include "media/sprite.h"

Text::Text(int32_t left, int32_t top, Sprite* font, const char* text, uint32_t wrapWidth, uint8_t spaceWidth,
           uint8_t lineHeight)
    : left(left), top(top) {
    if (!font) {
        printf("FAIL: Text.Text: Null sprite\n");
        return;
    }
    this->font = font;
    if (lineHeight == 0) {
        const Anim* space = Sprite::getAnim(font, 0);
        if (space) lineHeight = static_cast<uint8_t>(space->h);
    }
    this->spaceWidth = spaceWidth;
    this->lineHeight = lineHeight;
    this->text = text ? text : "";
    this->wrapWidth = wrapWidth;
}

void Text::setText(const char* text) { this->text = text ? text : ""; }

void Text::draw() {
    if (!font) return;
    int32_t x = left;
    int32_t y = top;
    const int32_t glyphs = animCount(font);
    for (const char ch : text) {
        const uint8_t c = static_cast<uint8_t>(ch);
        if (c == 0) break;
        if (c == '\n') {
            x = left;
            y += lineHeight;
            continue;
        }
        if (c == '\t') {
            // Stops every four spaces, counted from screen x 0. A zero space
            // width has no stops at all (and must not divide by zero).
            const uint32_t t = 4u * spaceWidth;
            if (t) x = static_cast<int32_t>((static_cast<uint32_t>(x) + 1) / t * t + t);
            continue;
        }
        if (c == ' ') {
            x += spaceWidth;
            if (static_cast<uint32_t>(x) - static_cast<uint32_t>(left) > wrapWidth) {
                x = left;
                y += lineHeight;
            }
            continue;
        }
        const uint8_t g = static_cast<uint8_t>(c - 32);
        if (g < glyphs) {
            Sprite::print(font, g, 0, x, y);
            x += font->anims[g].w + 1;
        } else {
            x += spaceWidth;
        }
    }
}
