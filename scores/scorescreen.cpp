// The score screen: download the table, load it, show it by time or by flies,
// and toggle the view with any key.
#include "scores/scorescreen.h"

#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/game.h"
#include "scores/hiscore.h"
#include "scores/roundend.h"

int32_t staleKey = -1;

char* tableText(Hiscore& table, bool byFlies) {
    int32_t rows = table.count < table.limit ? table.count : table.limit;
    if (rows < 0) rows = 0;
    // 64 bytes a row and 64 for the heading; a row needs at most 52 (an 11-digit
    // place, a 32-byte nick, an 11-digit value).
    size_t size = (static_cast<size_t>(rows) * 8 + 1) * 8;
    char* text = static_cast<char*>(calloc(size, 1));
    if (!text) return nullptr;
    if (byFlies)
        table.sortByFlies();
    else
        table.sortByTime();
    size_t used = static_cast<size_t>(snprintf(text, size, "%s", byFlies ? "Muchy:\n" : "Czas:\n"));
    for (int32_t i = 0; i < rows && used < size; i++) {
        const ScoreRecord& r = table.records[i];
        int32_t value = byFlies ? r.flies : r.time / 62;
        int n = snprintf(text + used, size - used, "%02d.\t %s\t %d\n", r.place, r.nick, value);
        if (n < 0) break;
        used += static_cast<size_t>(n);
    }
    return text;
}

namespace {

void showTable(bool byFlies) {
    char* text = tableText(hiscores, byFlies);
    if (!text) {
        printf("FAIL: Nie udalo sie zajac miejsca na wyniki\n");
        exit(202);
    }
    panelText.setText(text);
    free(text);
    subState = ScoresIdle;
}

}  // namespace

void scoresFrame() {
    memset(scoreMessage, 0, sizeof scoreMessage);
    // `event` keeps the last press until another event is polled: the Enter
    // that sent the score would otherwise toggle the view on its release, a
    // few frames after the table appeared. Such a press is not this screen's.
    if (event.type != SDL_KEYDOWN) staleKey = -1;
    bool newPress = event.type == SDL_KEYDOWN && event.key.keysym.sym != staleKey;
    switch (subState) {
    case ScoresStart:
        staleKey = event.type == SDL_KEYDOWN ? event.key.keysym.sym : -1;
        strcpy(scoreMessage, "Pobieranie wynikow...");
        subState = ScoresDownload;
        break;
    case ScoresDownload:
        subState = downloadTable() ? ScoresDownloaded : ScoresFailed;
        break;
    case ScoresDownloaded:
        strcpy(scoreMessage, "Pobrano.");
        subState = ScoresLoad;
        break;
    case ScoresFailed:
        strcpy(scoreMessage, "Nie udalo sie pobrac wynikow.");
        break;
    case ScoresLoad:
        hiscores.load(responseFile);
        subState = ScoresByTime;
        break;
    case ScoresByFlies:
    case ScoresByTime:
        showTable(subState == ScoresByFlies);
        break;
    case ScoresIdle:
        if (newPress) subState = ScoresKeyDown;
        break;
    case ScoresKeyDown:
        // The toggle waits for the release, so a held key toggles once.
        if (event.type != SDL_KEYDOWN)
            subState = hiscores.sortedByFlies ? ScoresByTime : ScoresByFlies;
        break;
    default:
        break;
    }
    drawScorePanel();
}
