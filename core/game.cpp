// The main loop: start-up, one frame at a time in the current state, shutdown.
#include "core/game.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/arsenal.h"
#include "core/input.h"
#include "core/round.h"
#include "core/timing.h"
#include "media/resfile.h"
#include "media/sound.h"
#include "media/sprite.h"
#include "scores/menu.h"
#include "scores/roundend.h"
#include "scores/scorescreen.h"
#include "world/dirty.h"
#include "world/objects.h"

bool running = true;
int32_t gameState = StateMenu;
int32_t subState = 0;
SDL_Surface* screen = nullptr;
SDL_Surface* icon = nullptr;
bool videoReady = false;
SDL_AudioSpec audioSpec;
SDL_Event event;
uint32_t frameStart = 0;
// SDL keeps the table in static storage, so it can be taken before SDL starts.
Uint8* keys = SDL_GetKeyState(nullptr);
CURL* curl = nullptr;
char scoreMessage[128] = {0};
time_t lastSecond = 0;
Text hudText;
Text panelText;
Hiscore hiscores;
const Vec2 gravity{0.0f, 0.04f};
const Vec2 drag{0.01f, 0.01f};
const Vec2 lift{-0.0f, -0.04f};
Sprite* cursorSprite = nullptr;
Sprite* flySprite = nullptr;
Sprite* weaponIcons[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
int32_t halfCursorAnims = 0;

static const char* const kIconNames[6] = {"wep_bomb.bmp",     "wep_flame.bmp",      "wep_airstrike.bmp",
                                          "wep_concrete.bmp", "wep_armageddon.bmp", "wep_bzykolot.bmp"};

// The window icon from the graphics pack, magenta transparent.
static void loadIcon() {
    if (icon) {
        SDL_FreeSurface(icon);
        icon = nullptr;
    }
    Resfile pack;
    char* buffer = pack.load("data/gfx.pkf", "ikona.bmp", -1);
    if (buffer) {
        icon = SDL_LoadBMP_RW(SDL_RWFromMem(buffer, static_cast<int>(pack.size())), 1);
        delete[] buffer;
    }
    if (icon) {
        SDL_SetColorKey(icon, SDL_SRCCOLORKEY, SDL_MapRGB(screen->format, 255, 0, 255));
        SDL_WM_SetIcon(icon, nullptr);
    }
}

bool init(Uint32 flags) {
    if (!videoReady) {
        videoReady = true;
        if (SDL_Init(SDL_INIT_VIDEO) < 0) {
            printf("FAIL: init: Nie udalo sie zainicjowac sdl'a\n");
            return false;
        }
        SDL_WM_SetCaption("Bzykolot 2", nullptr);
        if (SDL_OpenAudio(&audioSpec, nullptr) < 0) {
            printf("FAIL: init: Nie udalo sie zainicjowac dzwieku\n");
            return false;
        }
    } else {
        SDL_FreeSurface(screen);
        screen = nullptr;
        SDL_Quit();
        SDL_Delay(50);
        SDL_Init(SDL_INIT_VIDEO);
        SDL_OpenAudio(&audioSpec, nullptr);
    }
    SDL_PauseAudio(0);
    screen = SDL_SetVideoMode(0, 0, 32, flags);
    if (!screen) {
        printf("FAIL: init: Nie udalo sie ustawic trybu video\n");
        return false;
    }
    printf("OK  : init: Okno zrobione (%dx%dpx)\n", screen->w, screen->h);
    SDL_WM_SetCaption("Bzykolot 2", nullptr);
    loadIcon();
    SDL_ShowCursor(0);
    SDL_FillRect(screen, nullptr, 0);
    fullUpdate = true;
    return true;
}

void frameHead() {
    frameStart = SDL_GetTicks();
    if (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) running = false;
        if (event.type == SDL_VIDEOEXPOSE) fullUpdate = true;
    }
    if (keys[SDLK_LALT] && keys[SDLK_F4]) running = false;
    if (keys[SDLK_F2]) {
        // A window that cannot be re-made leaves nothing to run the game in.
        if (!init(SDL_FULLSCREEN)) exit(100);
        resetRound();
    }
    if (keys[SDLK_ESCAPE] && gameState != StatePlay) {
        gameState = StateMenu;
        fullUpdate = true;
    }
}

void clearScreen() { SDL_FillRect(screen, nullptr, 0); }

void dispatchState() {
    switch (gameState) {
    case StatePlay:
        playFrame();
        if (gameState == StatePlay) firingRule();
        break;
    case StateMenu:
        menuFrame();
        break;
    case StateScores:
        scoresFrame();
        break;
    case StateRoundEnd:
        roundEndFrame();
        break;
    default:
        gameState = StateMenu;
        break;
    }
}

void runFrame() {
    frameHead();
    clearScreen();
    cursorHead();
    dispatchState();
    worldPass();
    delayStep();
    weaponRing();
    cursorDraw();
    presentFrame();
    paceFrame();
}

// Everything after init up to the loop; returns 0 or the exit code of the failure.
static int prepare() {
    Sprite::load("data/gfx.pkf", sprites);
    cursorSprite = sprites["kursor.bmp"];
    flySprite = sprites["mucha01.bmp"];
    for (int i = 0; i < 6; ++i) weaponIcons[i] = sprites[kIconNames[i]];

    hudText = Text(0, 0, sprites["font_00.bmp"], "", 96, 12, 0);
    panelText = Text((screen->w - 512) / 2, screen->h / 3, sprites["font_00a.bmp"], "", 448, 12, 0);
    hiscores.clear();
    memset(nick, 0, sizeof nick);
    nickPos = 0;

    curl = curl_easy_init();
    if (!curl) return 200;
    for (int32_t& a : ammo) a = 0;

    SDL_WarpMouse(static_cast<Uint16>(screen->w / 2), static_cast<Uint16>(screen->h / 2));
    SDL_GetMouseState(&mouseX, &mouseY);

    if (!cursorSprite || !flySprite) {
        printf("FAIL: Nie udalo sie wczytac grafik kursora/muchy\n");
        return 101;
    }
    for (int i = 0; i < 6; ++i) {
        if (!weaponIcons[i]) {
            printf("FAIL: Nie udalo sie wczytac grafiki broni %d\n", i);
            return 101;
        }
    }
    halfCursorAnims = animCount(cursorSprite) / 2;

    getMaxUpdates();
    printf("INFO: MaxUpdates: %d\n", maxUpdates);
    dirtyRects = new (std::nothrow) SDL_Rect[static_cast<size_t>(maxUpdates > 0 ? maxUpdates : 0)];
    if (!dirtyRects) {
        printf("FAIL: Nie udalo sie zajac miejsca na kwadraciki\n");
        return 102;
    }
    lastSecond = time(nullptr);
    printf("INFO: Wystartowano w %dms\n", static_cast<int>(SDL_GetTicks()));
    printf("%s\n", std::string(80, '-').c_str());
    subState = 0;
    lastKey = 0;
    return 0;
}

// Releases what the run holds. The lists go before the sprites: a fly's
// destructor still reads its animation to mark its box.
void shutdownGame() {
    clearObjects();
    Sprite::clear(sprites);
    hiscores.clear();
    delete[] dirtyRects;
    dirtyRects = nullptr;
    if (icon) SDL_FreeSurface(icon);
    icon = nullptr;
    SDL_CloseAudio();
    SDL_Quit();
    printf("INFO: Stop\n");
}

void fillAudioSpec() {
    memset(&audioSpec, 0, sizeof audioSpec);
    audioSpec.freq = 22050;
    audioSpec.format = AUDIO_S16LSB;
    audioSpec.channels = 2;
    audioSpec.samples = 1024;
    audioSpec.callback = audioCallback;
    audioSpec.userdata = nullptr;
}

int gameMain() {
    // Without a log the game still runs; only the messages are lost.
    if (!freopen("log.txt", "w", stdout)) perror("log.txt");
    printf("\nINFO: Start\nINFO: Build: %s %s\n", __DATE__, __TIME__);
    srand(static_cast<unsigned>(time(nullptr)));
    setbuf(stdout, nullptr);

    fillAudioSpec();

    if (!init(SDL_FULLSCREEN)) return 100;
    const int failure = prepare();
    if (failure) return failure;

    do {
        runFrame();
    } while (running);

    shutdownGame();
    return 0;
}
