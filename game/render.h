// The world as the game shows it: the objects the rules animated this frame
// drawn in list order, and the sink that turns the rules' marks and sounds
// into dirty rectangles and mixer slots.
#pragma once

class Object;

// Draws every object the world pass showed this frame: weapons, flies,
// particles, pick-ups, each list front to back, so later ones lie on top.
void drawWorld();
// Draws one object's current frame at floorf(x, y) with its sprite.
void drawObject(const Object& o);
// Makes the game the world's sink (marks to markDirty, sounds to PlaySound,
// boxes of destroyed objects only while the game runs).
void showWorld();
