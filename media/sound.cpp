// Sound effects: decoded and converted on the main thread when started, mixed
// by SDL's audio thread from 32 slots.
#include "media/sound.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/resfile.h"

SoundChannel channels[kSoundChannels];
SDL_AudioSpec audioSpec;

static Resfile sfxPack;

void fillAudioSpec() {
    memset(&audioSpec, 0, sizeof audioSpec);
    audioSpec.freq = 22050;
    audioSpec.format = AUDIO_S16LSB;
    audioSpec.channels = 2;
    audioSpec.samples = 1024;
    audioSpec.callback = audioCallback;
    audioSpec.userdata = nullptr;
}

size_t convertBufferSize(uint32_t wavLength, int lengthMultiplier) {
    if (lengthMultiplier < 1) return 0;
    const uint64_t size = static_cast<uint64_t>(wavLength) * static_cast<uint64_t>(lengthMultiplier);
    // Slot lengths are 32-bit signed.
    if (size == 0 || size > 0x7fffffffu) return 0;
    return static_cast<size_t>(size);
}

bool convertibleWav(const SDL_AudioSpec& wav) {
    // SDL 1.2 brings only 1, 2, 4 and 6 channels to stereo; for others it reports
    // success and converts nothing, which would mix the samples as garbage. It
    // also loops for ever on rate 0 and overruns its filter table on rates far
    // from ours.
    const bool channelsOk = wav.channels == 1 || wav.channels == 2 || wav.channels == 4 || wav.channels == 6;
    if (!channelsOk || wav.freq < kMinWavRate || wav.freq > kMaxWavRate) {
        SDL_SetError("Unsupported WAV format (%d channels, %d Hz)", wav.channels, wav.freq);
        return false;
    }
    return true;
}

// Drops a sound that cannot be played, on standard error (not the log).
static void dropSound(const char* name) {
    const char* reason = SDL_GetError();
    fprintf(stderr, "FAIL: PlaySound: Couldn't load %s: %s\n", name, reason && *reason ? reason : "unknown error");
}

void PlaySound(const char* name) {
    // Only this thread makes a free slot busy, and the callback never moves pos
    // past len, so a slot that reads as free stays free without the lock.
    int slot = -1;
    for (int i = 0; i < kSoundChannels; ++i) {
        if (channels[i].pos == channels[i].len) {
            slot = i;
            break;
        }
    }
    if (slot < 0) return;

    SDL_ClearError();
    SDL_AudioSpec wav;
    Uint8* samples = nullptr;
    Uint32 length = 0;
    bool loaded = false;
    if (auto bytes = sfxPack.load("data/sfx.pkf", name, -1)) {
        loaded = SDL_LoadWAV_RW(SDL_RWFromMem(bytes->data(), static_cast<int>(bytes->size())), 1, &wav, &samples,
                                &length) != nullptr;
    } else {
        SDL_SetError("no entry in data/sfx.pkf");
    }
    if (!loaded) {
        dropSound(name);
        return;
    }

    // Decoding and conversion happen here, outside the audio lock.
    SDL_AudioCVT cvt;
    if (!convertibleWav(wav) ||
        SDL_BuildAudioCVT(&cvt, wav.format, wav.channels, wav.freq, AUDIO_S16LSB, 2, 22050) < 0) {
        if (!*SDL_GetError()) SDL_SetError("Unsupported WAV format");
        SDL_FreeWAV(samples);
        dropSound(name);
        return;
    }
    std::unique_ptr<Uint8[]> converted;
    if (const size_t size = convertBufferSize(length, cvt.len_mult)) {
        try {
            converted = std::make_unique<Uint8[]>(size);
        } catch (const std::bad_alloc&) {
            // stays null: dropped below
        }
    }
    if (!converted) {
        SDL_SetError("Out of memory for %u bytes of converted sound", static_cast<unsigned>(length));
        SDL_FreeWAV(samples);
        dropSound(name);
        return;
    }
    memcpy(converted.get(), samples, length);
    cvt.buf = converted.get();
    cvt.len = static_cast<int>(length);
    SDL_ConvertAudio(&cvt);
    SDL_FreeWAV(samples);

    // The slot is free, so the callback reads none of its old data.
    channels[slot].data.reset();

    SDL_LockAudio();
    channels[slot].pos = 0;
    channels[slot].data = std::move(converted);
    channels[slot].len = cvt.len_cvt;
    SDL_UnlockAudio();
}

void audioCallback(void*, Uint8* stream, int length) {
    for (SoundChannel& ch : channels) {
        int32_t amount = ch.len - ch.pos;
        if (amount > length) amount = length;
        if (amount <= 0) continue;
        SDL_MixAudio(stream, ch.data.get() + ch.pos, static_cast<Uint32>(amount), SDL_MIX_MAXVOLUME);
        ch.pos += amount;
    }
}
