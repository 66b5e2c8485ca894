// The game as a whole: the state machine, start-up, the loop and shutdown.
#include "game/game.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "game/arsenal.h"
#include "game/cursor.h"
#include "game/frame.h"
#include "game/lang.h"
#include "game/menu.h"
#include "game/options.h"
#include "game/panel.h"
#include "game/recorder.h"
#include "game/render.h"
#include "game/round.h"
#include "game/roundend.h"
#include "game/scorescreen.h"
#include "game/transfer.h"
#include "game/watch.h"
#include "media/budget.h"
#include "media/dirty.h"
#include "media/events.h"
#include "media/sound.h"
#include "media/sprite.h"
#include "media/video.h"
#include "world/fx.h"
#include "world/objects.h"

GameState gameState = StateMenu;
std::string gfxDigest;

void dispatchState() {
    switch (gameState) {
    case StatePlay:
        playFrame();
        if (gameState == StatePlay) firingRule();
        break;
    case StateMenu:
        if (watching())
            startWatchedRound();
        else
            menuFrame();
        break;
    case StateScores:
        scoresFrame();
        break;
    case StateRoundEnd:
        if (watching())
            watchEndFrame();
        else
            roundEndFrame();
        break;
    default:
        gameState = StateMenu;
        break;
    }
}

// A sprite whose bitmap did not decode, or whose animations did not load, is
// as good as a missing one: drawn it shows nothing and logs every frame.
static bool drawable(Sprite* s) { return s && s->bitmap && animCount(s) > 0; }

// The world finds its sheets in the sprite registry, as the game always looked them up.
static Sheet* spriteSheet(const std::string& name) { return findSprite(name); }

void fitField() {
    fieldW = screenW();
    fieldH = screenH();
}

// Everything after init up to the loop; returns 0 or the exit code of the failure.
static int prepare(const StartOptions& o) {
    Sprite::load("data/gfx.pkf", sprites);
    gfxDigest = rulesDigest(spriteSheets(sprites));
    sheetSource = spriteSheet;
    showWorld();
    fitField();
    cursorSprite = findSprite("kursor.bmp");
    cursorSheet = cursorSprite;
    flySprite = findSprite("mucha01.bmp");
    flySheet = flySprite;
    for (int i = 0; i < kWeaponKinds; ++i) weaponIcons[i] = findSprite(kIconNames[i]);

    hudText = Text(0, 0, findSprite("font_00.bmp"), "", 96, 12, 0);
    panelText = Text((screen->w - 512) / 2, screen->h / 3, findSprite("font_00a.bmp"), "", 448, 12, 0);
    hiscores.clear();
    nick.clear();

    curl = curl_easy_init();
    if (!curl) return 200;
    for (int32_t& a : ammo) a = 0;

    SDL_WarpMouse(static_cast<Uint16>(screen->w / 2), static_cast<Uint16>(screen->h / 2));
    SDL_GetMouseState(&mouseX, &mouseY);

    if (!drawable(cursorSprite) || !drawable(flySprite)) {
        printf("FAIL: Nie udalo sie wczytac grafik kursora/muchy\n");
        return 101;
    }
    for (int i = 0; i < kWeaponKinds; ++i) {
        if (!drawable(weaponIcons[i])) {
            printf("FAIL: Nie udalo sie wczytac grafiki broni %d\n", i);
            return 101;
        }
    }
    halfCursorAnims = animCount(cursorSprite) / 2;

    if (o.budget > 0) {
        maxUpdates = o.budget;
    } else {
        getMaxUpdatesFrom(o.budgetFile.c_str(), benchmark);
    }
    printf("INFO: MaxUpdates: %d\n", maxUpdates);
    try {
        dirtyRects.assign(static_cast<size_t>(std::max(maxUpdates, 0)), SDL_Rect{});
    } catch (const std::bad_alloc&) {
        printf("FAIL: Nie udalo sie zajac miejsca na kwadraciki\n");
        return 102;
    }
    lastSecond = time(nullptr);
    printf("INFO: Wystartowano w %dms\n", static_cast<int>(SDL_GetTicks()));
    printf("%s\n", std::string(80, '-').c_str());
    lastKey = 0;
    return 0;
}

int startGame(const StartOptions& options) {
    fillAudioSpec();
    if (!init(options.videoFlags, options.width, options.height)) return 100;
    return prepare(options);
}

// Releases what the run holds. The lists go before the sprites: a fly's
// destructor still reads its animation to mark its box.
void shutdownGame() {
    clearObjects();
    worldFx = nullptr;
    Sprite::clear(sprites);
    hiscores.clear();
    std::vector<SDL_Rect>().swap(dirtyRects);
    closeVideo();
    printf("INFO: Stop\n");
}

void tellFatal(int exitCode) {
    const char* words = exitCode == 100   ? "cannot open the game's window"
                        : exitCode == 101 ? "the game's pictures are missing or damaged (data/gfx.pkf)"
                        : exitCode == 200 ? "the network library (libcurl) cannot start"
                                          : "not enough memory";
    fprintf(stderr, "bzykolot2: %s%s%s; log.txt says more\n", words, exitCode == 100 ? ": " : "",
            exitCode == 100 ? SDL_GetError() : "");
}

void abortGame(int exitCode) {
    tellFatal(exitCode);
    SDL_CloseAudio();
    exit(exitCode);
}

void openRun(const std::string& serverOption) {
    // Without a log the game still runs; only the messages are lost.
    if (!freopen("log.txt", "w", stdout)) perror("log.txt");
    printf("\nINFO: Start\nINFO: Build: %s %s\n", __DATE__, __TIME__);
    chooseServer(serverOption);
    chooseLanguage();
    srand(static_cast<unsigned>(time(nullptr)));
    setbuf(stdout, nullptr);
}

int gameMain(const std::string& serverOption) {
    openRun(serverOption);
    const int failure = startGame();
    if (failure) {
        tellFatal(failure);
        return failure;
    }

    do {
        runFrame();
    } while (running);

    shutdownGame();
    return 0;
}
