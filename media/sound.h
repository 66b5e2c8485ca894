// Fire-and-forget sound effects from "data/sfx.pkf", mixed by SDL's audio thread.
#pragma once
#include <SDL/SDL.h>
#include <cstddef>
#include <cstdint>
#include <memory>

// One playback slot; free when pos == len.
struct SoundChannel {
    std::unique_ptr<Uint8[]> data;  // converted samples, kept until the slot is reused
    int32_t pos = 0;                // bytes already mixed
    int32_t len = 0;                // bytes of converted data
};

// ---- Mixer state, shared with the audio thread ----------------------------
constexpr int kSoundChannels = 32;
extern SoundChannel channels[kSoundChannels];  // published under SDL_LockAudio
extern SDL_AudioSpec audioSpec;                // the mixer's output, set by fillAudioSpec

// The one output format of the mixer: 22050 Hz, S16LSB, stereo, 1024-sample
// buffers, audioCallback, into `audioSpec`.
void fillAudioSpec();

// WAV sample rates SDL 1.2 converts safely to 22050 Hz (outside them its
// converter loops or overruns its filter table).
constexpr int kMinWavRate = 2000;
constexpr int kMaxWavRate = 192000;

// Starts the WAV entry `name`; dropped silently when all slots are busy, with a
// standard-error line when it cannot be loaded or converted. Decoding and
// conversion run before the audio lock, which is held only to publish the slot.
void PlaySound(const char* name);
// SDL audio callback: mixes every playing slot into stream.
void audioCallback(void* userdata, Uint8* stream, int length);

// Bytes of the conversion buffer for a WAV of wavLength bytes, or 0 when it
// cannot be had (no multiplier, empty, or beyond a 32-bit slot length).
size_t convertBufferSize(uint32_t wavLength, int lengthMultiplier);
// False (with SDL's error set) for channel counts or rates SDL cannot convert
// to the output format.
bool convertibleWav(const SDL_AudioSpec& wav);
