// The mixer, driven by calling audioCallback on a buffer: 32 slots and a
// dropped 33rd, two sounds mixed, conversion of mono 8-bit 11025 Hz, a sound
// shorter than one buffer, and WAVs that cannot be played.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "media/sound.h"
#include "testutil.h"

using testutil::CaptureStdout;

namespace {

// Standard error into a file until stop().
class CaptureStderr {
public:
    CaptureStderr() {
        fflush(stderr);
        char tmpl[] = "stderr-XXXXXX";
        const int fd = mkstemp(tmpl);
        path_ = tmpl;
        saved_ = dup(2);
        dup2(fd, 2);
        close(fd);
    }
    ~CaptureStderr() { stop(); }
    std::string stop() {
        if (saved_ < 0) return "";
        fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
        const std::string out = testutil::readFile(path_);
        unlink(path_.c_str());
        return out;
    }

private:
    std::string path_;
    int saved_ = -1;
};

void put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xff));
    s.push_back(static_cast<char>((v >> 8) & 0xff));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xffff);
    put16(s, v >> 16);
}

// A PCM WAV file around `data`.
std::string wav(int channels, int rate, int bits, const std::string& data) {
    std::string s = "RIFF";
    put32(s, static_cast<uint32_t>(36 + data.size()));
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, 1);
    put16(s, static_cast<uint32_t>(channels));
    put32(s, static_cast<uint32_t>(rate));
    put32(s, static_cast<uint32_t>(rate * channels * bits / 8));
    put16(s, static_cast<uint32_t>(channels * bits / 8));
    put16(s, static_cast<uint32_t>(bits));
    s += "data";
    put32(s, static_cast<uint32_t>(data.size()));
    return s + data;
}

// `count` 16-bit samples of value v (or v + i * step).
std::string samples16(int count, int v, int step = 0) {
    std::string s;
    for (int i = 0; i < count; ++i) put16(s, static_cast<uint16_t>(static_cast<int16_t>(v + i * step)));
    return s;
}

int16_t sampleAt(const std::vector<Uint8>& stream, size_t i) {
    return static_cast<int16_t>(stream[2 * i] | stream[2 * i + 1] << 8);
}

class SoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // PlaySound reads "data/sfx.pkf" from the working directory.
        const std::string dir = testutil::tempDir("sfx");
        ASSERT_EQ(chdir(dir.c_str()), 0);
        mkdir("data", 0755);
        testutil::writePack("data/sfx.pkf",
                            {
                                {"loud.wav", wav(2, 22050, 16, samples16(4096, 1000))},   // 8192 bytes
                                {"neg.wav", wav(2, 22050, 16, samples16(2048, -300))},    // 4096 bytes
                                {"max.wav", wav(2, 22050, 16, samples16(2048, 30000))},
                                {"mono8.wav", wav(1, 11025, 8, std::string(100, '\xc0'))},
                                {"short.wav", wav(2, 22050, 16, samples16(200, -200, 3))},  // 400 bytes
                                {"three.wav", wav(3, 22050, 16, samples16(90, 5))},
                                {"five.wav", wav(5, 11025, 8, std::string(50, 'x'))},
                                {"rate1.wav", wav(2, 1, 16, samples16(64, 5))},
                                {"nochan.wav", wav(0, 22050, 16, samples16(64, 5))},
                                {"junk.wav", "this is not a wave file at all"},
                            });
    }
    void SetUp() override { resetChannels(); }
    void TearDown() override { resetChannels(); }

    static void resetChannels() {
        for (SoundChannel& ch : channels) {
            free(ch.data);
            ch = SoundChannel{nullptr, 0, 0};
        }
    }
    // Plays `name`, keeping the pack reader's lines out of the output; returns standard error.
    static std::string play(const char* name) {
        CaptureStdout out;
        CaptureStderr err;
        PlaySound(name);
        return err.stop();
    }
    // One device buffer of 1024 stereo 16-bit frames, mixed from silence.
    static std::vector<Uint8> callback() {
        std::vector<Uint8> stream(4096, 0);
        audioCallback(nullptr, stream.data(), static_cast<int>(stream.size()));
        return stream;
    }
    static int busySlots() {
        int n = 0;
        for (const SoundChannel& ch : channels) n += ch.pos != ch.len;
        return n;
    }
};

TEST_F(SoundTest, ThirtyTwoSlotsThenTheNextIsDropped) {
    for (int i = 0; i < 32; ++i) ASSERT_EQ(play("loud.wav"), "");
    EXPECT_EQ(busySlots(), 32);
    Uint8* before[kSoundChannels];
    for (int i = 0; i < kSoundChannels; ++i) before[i] = channels[i].data;

    EXPECT_EQ(play("loud.wav"), "") << "a dropped sound says nothing";
    for (int i = 0; i < kSoundChannels; ++i) {
        EXPECT_EQ(channels[i].data, before[i]);
        EXPECT_EQ(channels[i].pos, 0);
    }

    std::vector<Uint8> s = callback();
    EXPECT_EQ(sampleAt(s, 0), 32000);
    EXPECT_EQ(sampleAt(s, 2047), 32000);
    callback();
    EXPECT_EQ(busySlots(), 0);

    // Once they have ended the next call plays, in the first slot.
    EXPECT_EQ(play("loud.wav"), "");
    EXPECT_EQ(busySlots(), 1);
    EXPECT_EQ(channels[0].pos, 0);
    EXPECT_EQ(channels[0].len, 8192);
}

TEST_F(SoundTest, TwoSoundsAreMixedFromTheStartOfEachBuffer) {
    play("loud.wav");
    play("neg.wav");
    std::vector<Uint8> s = callback();
    for (size_t i = 0; i < 2048; i += 97) ASSERT_EQ(sampleAt(s, i), 700) << i;
    s = callback();  // neg.wav has ended, loud.wav goes on
    EXPECT_EQ(sampleAt(s, 0), 1000);
    EXPECT_EQ(sampleAt(s, 2047), 1000);
    s = callback();
    EXPECT_EQ(sampleAt(s, 0), 0);

    // The same name twice plays in two slots; loud sums clip.
    play("max.wav");
    play("max.wav");
    EXPECT_EQ(busySlots(), 2);
    s = callback();
    EXPECT_EQ(sampleAt(s, 100), 32767);
}

TEST_F(SoundTest, MonoEightBitIsConvertedToTheOutputFormat) {
    ASSERT_EQ(play("mono8.wav"), "");
    // 100 samples at 11025 Hz: 200 frames at 22050 Hz, 2 channels, 2 bytes.
    EXPECT_EQ(channels[0].len, 800);
    std::vector<Uint8> s = callback();
    for (size_t i = 0; i < 400; ++i) ASSERT_EQ(sampleAt(s, i), 0x4000) << i;  // unsigned 0xc0 -> signed 0x4000
    EXPECT_EQ(sampleAt(s, 400), 0);
    EXPECT_EQ(busySlots(), 0);
}

TEST_F(SoundTest, ShortSoundEndsInItsFirstBufferAndIsCopiedUnchanged) {
    ASSERT_EQ(play("short.wav"), "");
    ASSERT_EQ(channels[0].len, 400);
    const std::string expected = samples16(200, -200, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(channels[0].data), 400), expected);
    std::vector<Uint8> s = callback();
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s.data()), 400), expected);
    EXPECT_EQ(sampleAt(s, 200), 0);
    EXPECT_EQ(channels[0].pos, 400);
    EXPECT_EQ(busySlots(), 0);

    // Its slot is the first free one again; the old buffer is replaced.
    play("loud.wav");
    EXPECT_EQ(channels[0].len, 8192);
    EXPECT_EQ(channels[0].pos, 0);
    EXPECT_EQ(channels[1].len, 0);
}

TEST_F(SoundTest, SoundsThatCannotBePlayedAreDroppedOnStandardError) {
    for (const char* name : {"nope.wav", "junk.wav", "three.wav", "five.wav", "rate1.wav", "nochan.wav"}) {
        const std::string err = play(name);
        const std::string prefix = std::string("FAIL: PlaySound: Couldn't load ") + name + ": ";
        EXPECT_EQ(err.rfind(prefix, 0), 0u) << name << ": " << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_GT(err.size(), prefix.size() + 1) << "with a reason";
        EXPECT_EQ(busySlots(), 0) << name;
        EXPECT_EQ(channels[0].data, nullptr) << name << " left a buffer behind";
    }
    // Nothing garbled reaches the output either.
    std::vector<Uint8> s = callback();
    EXPECT_EQ(std::vector<Uint8>(4096, 0), s);
}

TEST_F(SoundTest, PlaysWhileTheDeviceMixesOnItsOwnThread) {
    // The real arrangement: SDL's audio thread runs the callback while this
    // thread decodes and publishes sounds.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SDL_AudioSpec spec{};
    spec.freq = 22050;
    spec.format = AUDIO_S16LSB;
    spec.channels = 2;
    spec.samples = 1024;
    spec.callback = audioCallback;
    ASSERT_EQ(SDL_OpenAudio(&spec, nullptr), 0) << SDL_GetError();
    SDL_PauseAudio(0);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(play(i % 2 ? "short.wav" : "mono8.wav"), "");
        SDL_Delay(1);
    }
    // Each is shorter than one device buffer, so they all end soon.
    for (int i = 0; i < 100 && busySlots() > 0; ++i) SDL_Delay(10);
    SDL_LockAudio();
    const int busy = busySlots();
    SDL_UnlockAudio();
    SDL_CloseAudio();
    EXPECT_EQ(busy, 0);
}

TEST(ConvertBufferTest, SizeOrNothing) {
    EXPECT_EQ(convertBufferSize(100, 8), 800u);
    EXPECT_EQ(convertBufferSize(400, 1), 400u);
    EXPECT_EQ(convertBufferSize(0x40000000u, 2), 0u) << "beyond a 32-bit slot length";
    EXPECT_EQ(convertBufferSize(0x3fffffffu, 2), 0x7ffffffeu);
    EXPECT_EQ(convertBufferSize(0xffffffffu, 16), 0u);
    EXPECT_EQ(convertBufferSize(100, 0), 0u);
    EXPECT_EQ(convertBufferSize(0, 4), 0u);
}

}  // namespace
