// The language of the game's screens: Polish as it always was, or English.
// The texts are the Polish ones, looked up in the English catalogue
// (gettext's "bzykolot2", built from po/en.po) when the game speaks English.
// The log stays Polish.
#pragma once

// Picks the language from the player's locale, once at start-up: Polish under
// the C locale and under a Polish one (or when LANGUAGE's first choice is
// Polish), English under any other, there being no other catalogue.
void chooseLanguage();
// Whether the screens speak English.
bool english();
// The screen text `polish` in the game's language.
const char* tr(const char* polish);
