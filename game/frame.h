// One frame: its steps in order, the frame's end (presenting, the debug line)
// and the 16 ms pacing.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>
#include <ctime>

// ---- Frame clock --------------------------------------------------------------
extern uint32_t frameStart;  // SDL_GetTicks() at the start of this frame
extern time_t lastSecond;    // calendar second of the last debug-line check

// The steps of one frame, in the order runFrame takes them.
enum FrameStep : int32_t {
    StepHead,        // one event, the global keys (frameHead)
    StepClear,       // what the last frame drew to black (clearScreen)
    StepCursorHead,  // the cursor's old box, the mouse, the trail (cursorHead)
    StepState,       // the current state's block (dispatchState)
    StepWorld,       // weapons, flies, particles, pick-ups (worldPass)
    StepDelays,      // the two weapon delays count down (delayStep)
    StepRing,        // the weapon ring and its HUD line (weaponRing)
    StepCursorDraw,  // the cursor's look, then the cursor drawn last (cursorDraw)
    StepRecord,      // the frame into the round's recording, or a watched one checked (recordStep)
    StepPresent,     // dirty rectangles or the whole screen out, the debug line (presentFrame)
    StepPace,        // the rest of the 16 ms (paceFrame)
    FrameSteps,
};

// Watches the steps of a frame and may stand in for some: the scene runner
// times them, runs its scene in place of the state's block and does not pace.
class FrameProbe {
public:
    virtual ~FrameProbe() = default;
    // Before step s; false skips the game's own step.
    virtual bool before(FrameStep s) = 0;
    // After step s, whether it ran or not.
    virtual void after(FrameStep s) = 0;
};

// One frame: every step in order; with a probe, as it says.
void runFrame(FrameProbe* probe = nullptr);

// Polls one event, reads the frame's input record and applies the global
// keys: left Alt + F4 quits, F2 re-creates the window and resets the round,
// Escape returns to the menu outside a round (while a recording is watched,
// the watch's own keys instead).
void frameHead();
// Clears to black what the last frame drew (the whole screen when it was
// presented whole or the screen was invalidated).
void clearScreen();
// The frame's rules are complete: the recording takes the frame, or the
// watched recording is checked against it.
void recordStep();
// Presents the frame, then the debug line once per calendar second.
void presentFrame();
// Milliseconds left of a 16 ms frame that started at `start`, at `now` (0 when none).
int32_t frameLeft(Uint32 start, Uint32 now);
// Milliseconds a frame that started at `start` still waits at `now`, or -1 when it
// does not wait at all (it took more than 14 ms, or right Shift fast-forwards).
int32_t frameWait(Uint32 start, Uint32 now, bool fastForward);
// Waits out the rest of the 16 ms frame (skipped while right Shift is held).
void paceFrame();
