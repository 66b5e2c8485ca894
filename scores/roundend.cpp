// The round-end screen: the player types a nick, the score is signed and
// posted; and the two HTTP transfers shared with the score screen.
#include "scores/roundend.h"

#include <SDL/SDL.h>
#include <curl/curl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "core/game.h"
#include "core/round.h"
#include "media/sprite.h"
#include "scores/md5.h"
#include "world/dirty.h"

char nick[32] = {0};
int32_t nickPos = 0;
int32_t lastKey = 0;

const char* scoreServer = SCORE_SERVER;
bool responseStarted = false;
size_t responseBytes = 0;

namespace {

// Bounds on a transfer: the frame waits for it, and a server that accepts and
// then says nothing must not freeze the game.
constexpr long connectTimeoutSeconds = 3;
constexpr long transferTimeoutSeconds = 10;

// Runs one transfer to base URL + path: a POST of `body`, or a GET when body is null.
bool transfer(const char* path, const char* body) {
    if (!curl) return false;
    std::string url = std::string(scoreServer) + path;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeResponse);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, transferTimeoutSeconds);
    // Timeouts by alarm signal would hit the audio thread too.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (body) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body);
    } else {
        // The handle keeps the post's fields from an earlier post; the table is
        // always fetched with a plain GET.
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    beginResponse();
    return curl_easy_perform(curl) == CURLE_OK;
}

bool shiftHeld() { return keys[SDLK_LSHIFT] || keys[SDLK_RSHIFT]; }

void endMessage(const char* tail) {
    snprintf(scoreMessage, sizeof scoreMessage, "Pokonanych much: %d\nPrzetrwano: %ds\n\n%s", kills,
             roundTicks / 60, tail);
}

}  // namespace

bool nickEntry(bool keyDown, int32_t key, bool shift, bool enterHeld) {
    if (!keyDown) {
        lastKey = 0;
        return false;
    }
    // A held key's press stays in `event` frame after frame: enter it once.
    if (key != lastKey) {
        lastKey = key;
        bool letter = key >= 'a' && key <= 'z';
        bool digit = key >= '0' && key <= '9';
        if ((letter || digit) && nickPos <= 30) {
            // Shift makes capitals; on a digit it changes nothing, so the nick
            // keeps to characters the unencoded body can carry.
            nick[nickPos++] = static_cast<char>(letter && shift ? key - 'a' + 'A' : key);
            nick[nickPos] = 0;
        } else if (shift && key == '-' && nickPos <= 30) {
            nick[nickPos++] = '_';
            nick[nickPos] = 0;
        } else if (key == SDLK_BACKSPACE && nickPos > 0) {
            nick[--nickPos] = 0;
        }
    }
    return nickPos > 0 && enterHeld;
}

void buildSignature(char* buf, size_t size, int32_t flies, const char* name, int32_t ticks) {
    snprintf(buf, size, "%d%s%dniebieskiparasolnadrzewa", flies, name, ticks);
}

bool buildScoreBody(char* buf, size_t size, int32_t flies, const char* name, int32_t ticks) {
    buildSignature(buf, size, flies, name, ticks);
    std::unique_ptr<char[]> digest(
        md5Hex(reinterpret_cast<const uint8_t*>(buf), static_cast<int>(strlen(buf))));
    if (!digest) {
        // A body without its digest would be refused anyway: report it unsent.
        buf[0] = 0;
        return false;
    }
    snprintf(buf, size, "wysyl=1&wersja=1&nick=%s&muchy=%d&czas=%d&md5=%s", name, flies, ticks,
             digest.get());
    return true;
}

bool submitScore() {
    if (!buildScoreBody(scoreMessage, sizeof scoreMessage, kills, nick, roundTicks)) return false;
    bool ok = transfer("/bzykolot4.php", scoreMessage);
    // The panel keeps "Wysylanie wyniku..." rather than the body just sent.
    memset(scoreMessage, 0, sizeof scoreMessage);
    return ok;
}

bool downloadTable() { return transfer("/bzykolot4.wtf", nullptr); }

void beginResponse() {
    responseStarted = false;
    responseBytes = 0;
}

size_t writeResponse(char* data, size_t size, size_t count, void*) {
    size_t n = size * count;
    if (n == 0) return 0;  // no bytes: the file stays as it was
    // A server that streams without end must not fill the disk.
    if (n > maxResponseBytes - responseBytes) return 0;
    FILE* f = fopen(responseFile, responseStarted ? "ab" : "wb");
    if (!f) return 0;
    size_t written = fwrite(data, 1, n, f);
    if (fclose(f) != 0) written = 0;
    if (written != n) return 0;
    responseStarted = true;
    responseBytes += n;
    return n;
}

void drawScorePanel() {
    if (scoreMessage[0]) panelText.setText(scoreMessage);
    Sprite::print(sprites["hiscores.bmp"], 0, 0, panelText.left - 5, panelText.top - 5);
    panelText.draw();
    markDirty(panelText.left - 5, panelText.top - 5, 522, 266);
}

void roundEndFrame() {
    memset(scoreMessage, 0, sizeof scoreMessage);
    switch (subState) {
    case EndNick: {
        bool keyDown = event.type == SDL_KEYDOWN;
        if (nickEntry(keyDown, keyDown ? event.key.keysym.sym : 0, shiftHeld(),
                      keys[SDLK_RETURN]))
            subState = EndSending;
        std::string line = std::string("Wpisz nick: ") + nick;
        endMessage(line.c_str());
        break;
    }
    case EndSending:
        endMessage("Wysylanie wyniku...");
        subState = EndPost;
        break;
    case EndPost:
        subState = submitScore() ? EndSent : EndFailed;
        break;
    case EndSent:
        kills = 0;
        roundTicks = 0;
        endMessage("Wyslano.");
        gameState = StateScores;
        subState = 0;
        break;
    case EndFailed:
        endMessage("Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)");
        if (keys[SDLK_RETURN]) subState = EndSending;
        break;
    default:
        break;
    }
    drawScorePanel();
}
