// A string drawn with a bitmap font: animation k of the font sprite is the
// glyph of character 32 + k, frame 0.
#pragma once
#include <cstdint>
#include <string>

struct Sprite;

class Text {
public:
    Text() = default;
    // lineHeight 0 takes the height of the font's animation 0. A null font logs
    // "FAIL: Text.Text: Null sprite" and the text then draws nothing.
    Text(int32_t left, int32_t top, Sprite* font, const char* text, uint32_t wrapWidth,
         uint8_t spaceWidth, uint8_t lineHeight);

    void setText(const char* text);
    // Draws at (left, top); marks nothing dirty (the caller does).
    void draw();

    Sprite* font = nullptr;  // not owned
    std::string text;
    int32_t left = 0;
    int32_t top = 0;
    uint32_t wrapWidth = 0;  // a space that leaves the pen beyond this ends the line
    uint8_t spaceWidth = 0;  // advance of a space and of a missing glyph
    uint8_t lineHeight = 0;
};
