// The round-end screen: the player types a nick, the score is signed and posted.
#include "game/roundend.h"

#include <SDL/SDL.h>
#include <cstdio>

#include "base/signature.h"
#include "game/game.h"
#include "game/input.h"
#include "game/lang.h"
#include "game/panel.h"
#include "game/recorder.h"
#include "game/round.h"
#include "game/scorescreen.h"
#include "game/transfer.h"
#include "world/mucha.h"

RoundEndState roundEndState = EndNick;
std::string uploadLine;
int32_t shownFrames = 0;

namespace {
int32_t shownKey = -1;  // a key whose press was in `event` when EndShown began; -1 none
}
std::string nick;
int32_t lastKey = 0;

namespace {

bool shiftHeld() { return frameInput.held(KeyLeftShift) || frameInput.held(KeyRightShift); }

void endMessage(const std::string& tail) {
    char head[64];
    snprintf(head, sizeof head, tr("Pokonanych much: %d\nPrzetrwano: %ds\n\n"), kills, roundTicks / 60);
    scoreMessage = head + tail;
}

// The character a key press types into the nick, or 0. Shift makes capitals
// and turns '-' into '_'; on a digit it changes nothing, so the nick keeps to
// characters the unencoded body can carry.
char typedChar(int32_t key, bool shift) {
    if (key >= 'a' && key <= 'z') return static_cast<char>(shift ? key - 'a' + 'A' : key);
    if (key >= '0' && key <= '9') return static_cast<char>(key);
    if (shift && key == '-') return '_';
    return 0;
}

}  // namespace

void startRoundEnd() {
    gameState = StateRoundEnd;
    roundEndState = EndNick;
}

bool nickEntry(bool keyDown, int32_t key, bool shift, bool enterHeld) {
    if (!keyDown) {
        lastKey = 0;
        return false;
    }
    // A held key's press stays in `event` frame after frame: enter it once.
    if (key != lastKey) {
        lastKey = key;
        const char c = typedChar(key, shift);
        if (nickChar(c) && nick.size() < kNickMax) {
            nick.push_back(c);
        } else if (key == SDLK_BACKSPACE && !nick.empty()) {
            nick.pop_back();
        }
    }
    return validNick(nick) && enterHeld;
}

void roundEndFrame() {
    scoreMessage.clear();
    switch (roundEndState) {
    case EndNick: {
        if (nickEntry(frameInput.keyDown, frameInput.key, shiftHeld(), frameInput.held(KeyReturn)))
            roundEndState = EndSending;
        endMessage(tr("Wpisz nick: ") + nick);
        break;
    }
    case EndSending:
        endMessage(tr("Wysylanie wyniku..."));
        roundEndState = EndPost;
        break;
    case EndPost:
        roundEndState = postScore(kills, nick, roundTicks) ? EndSent : EndFailed;
        // The score is in: its round's recording follows, as its proof.
        if (roundEndState == EndSent) uploadLine = sendRecordings(nick);
        break;
    case EndSent:
        resetKills();
        roundTicks = 0;
        endMessage(uploadLine.empty() ? tr("Wyslano.") : tr("Wyslano.") + ("\n" + uploadLine));
        // A line about the recording stays long enough to be read.
        if (uploadLine.empty()) {
            startScores();
        } else {
            roundEndState = EndShown;
            shownFrames = 0;
            shownKey = frameInput.keyDown ? frameInput.key : -1;  // the Enter that sent it is no new press
        }
        break;
    case EndShown:
        if (!frameInput.keyDown) shownKey = -1;
        if (++shownFrames >= kShownFrames || (frameInput.keyDown && frameInput.key != shownKey)) startScores();
        break;
    case EndFailed:
        endMessage(tr("Nie udalo sie wyslac. Wyslac ponownie? (Enter/Escape)") + ("\n" + transferReason));
        if (frameInput.held(KeyReturn)) roundEndState = EndSending;
        break;
    default:
        break;
    }
    drawScorePanel();
}
