// Fire-and-forget sound effects from "data/sfx.pkf", mixed by SDL's audio thread.
#pragma once
#include <SDL/SDL.h>
#include <cstdint>

// One playback slot; free when pos == len.
struct SoundChannel {
    Uint8* data;  // converted samples (malloc), kept until the slot is reused
    int32_t pos;  // bytes already mixed
    int32_t len;  // bytes of converted data
};

// ---- Mixer state, shared with the audio thread ----------------------------
constexpr int kSoundChannels = 32;
extern SoundChannel channels[kSoundChannels];  // published under SDL_LockAudio

// Starts the WAV entry `name`; dropped silently when all slots are busy, with a
// standard-error line when it cannot be loaded or converted.
void PlaySound(const char* name);
// SDL audio callback: mixes every playing slot into stream.
void audioCallback(void* userdata, Uint8* stream, int length);
