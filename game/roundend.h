// The round-end screen: nick entry and the signed score's post.
#pragma once
#include <cstdint>
#include <string>

// The round-end screen's sub-states, in the order they normally pass.
enum RoundEndState : int32_t {
    EndNick = 0,     // typing the nick; Enter with a nick goes on
    EndSending = 1,  // "Wysylanie wyniku..." is shown for one frame
    EndPost = 2,     // the post, blocking this frame
    EndSent = 3,     // counters cleared, on to the score screen
    EndFailed = 4,   // asks to send again (Enter) or give up (Escape)
    EndShown = 5,    // what became of the recording, on the panel a while, then the score screen
};

// Frames EndShown keeps the panel before the score screen (any key cuts it short).
constexpr int32_t kShownFrames = 190;

// ---- Round end ------------------------------------------------------------------
extern RoundEndState roundEndState;  // from EndNick each time the screen begins
extern std::string nick;             // kNickMax characters at most; kept from round to round
extern int32_t lastKey;              // key of the last key press handled; 0 after other events
extern std::string uploadLine;       // the panel's line about the round's recording; "" for none
extern int32_t shownFrames;          // frames EndShown has shown it

void roundEndFrame();  // StateRoundEnd's block
// The round is lost: StateRoundEnd from EndNick.
void startRoundEnd();

// One frame of nick entry on the globals above. keyDown: this frame's event
// is a key press of `key`; shift: either Shift held; enterHeld: Return held.
// True when the nick is complete and Enter asks to send it.
bool nickEntry(bool keyDown, int32_t key, bool shift, bool enterHeld);
