// The score screen: download the table, load it, show it by time or by flies,
// and toggle the view with any key.
#include "game/scorescreen.h"

#include <SDL/SDL.h>
#include <algorithm>
#include <cstdio>
#include <new>

#include "base/signature.h"
#include "game/game.h"
#include "game/input.h"
#include "game/lang.h"
#include "game/panel.h"
#include "game/transfer.h"

ScoresState scoresState = ScoresStart;
int32_t staleKey = -1;
Hiscore hiscores;

// A nick as the panel shows it: a downloaded table may hold any bytes, so
// each one outside printable ASCII becomes '?', and it is cut to the longest
// nick a player can send, so every record stays one row.
static std::string shownNick(const std::string& nick) {
    std::string shown = nick.substr(0, kNickMax);
    for (char& c : shown)
        if (c < ' ' || c > '~') c = '?';
    return shown;
}

std::string tableText(Hiscore& table, bool byFlies) {
    const int32_t rows = std::min(table.count(), table.limit);
    if (byFlies)
        table.sortByFlies();
    else
        table.sortByTime();
    std::string text = byFlies ? tr("Muchy:\n") : tr("Czas:\n");
    for (int32_t i = 0; i < rows; i++) {
        const ScoreRecord& r = table.records[i];
        const int32_t value = byFlies ? r.flies : r.time / 62;
        char line[64];  // at most 58: an 11-character place, a 31-byte nick, an 11-digit value
        snprintf(line, sizeof line, "%02d.\t %s\t %d\n", r.place, shownNick(r.nick).c_str(), value);
        text += line;
    }
    return text;
}

void startScores() {
    gameState = StateScores;
    scoresState = ScoresStart;
}

namespace {

void showTable(bool byFlies) {
    try {
        panelText.setText(tableText(hiscores, byFlies).c_str());
    } catch (const std::bad_alloc&) {
        printf("FAIL: Nie udalo sie zajac miejsca na wyniki\n");
        abortGame(202);
    }
    scoresState = ScoresIdle;
}

}  // namespace

void scoresFrame() {
    scoreMessage.clear();
    // `event` keeps the last press until another event is polled: the Enter
    // that sent the score would otherwise toggle the view on its release, a
    // few frames after the table appeared. Such a press is not this screen's.
    if (!frameInput.keyDown) staleKey = -1;
    bool newPress = frameInput.keyDown && frameInput.key != staleKey;
    switch (scoresState) {
    case ScoresStart:
        staleKey = frameInput.keyDown ? frameInput.key : -1;
        scoreMessage = tr("Pobieranie wynikow...");
        scoresState = ScoresDownload;
        break;
    case ScoresDownload:
        scoresState = downloadTable() ? ScoresDownloaded : ScoresFailed;
        break;
    case ScoresDownloaded:
        scoreMessage = tr("Pobrano.");
        scoresState = ScoresLoad;
        break;
    case ScoresFailed:
        scoreMessage = tr("Nie udalo sie pobrac wynikow.") + ("\n" + transferReason);
        break;
    case ScoresLoad:
        hiscores.load(responseFile);
        scoresState = ScoresByTime;
        break;
    case ScoresByFlies:
    case ScoresByTime:
        showTable(scoresState == ScoresByFlies);
        break;
    case ScoresIdle:
        if (newPress) scoresState = ScoresKeyDown;
        break;
    case ScoresKeyDown:
        // The toggle waits for the release, so a held key toggles once.
        if (!frameInput.keyDown)
            scoresState = hiscores.sortedByFlies ? ScoresByTime : ScoresByFlies;
        break;
    default:
        break;
    }
    drawScorePanel();
}
