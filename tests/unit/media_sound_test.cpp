// The mixer, driven by calling audioCallback on a buffer: 32 slots and a
// dropped 33rd, two sounds mixed, conversion of mono 8-bit 11025 Hz, a sound
// shorter than one buffer, and WAVs that cannot be played.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "media/sound.h"
#include "testutil.h"

namespace {

void put(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char(v >> 8 * i & 0xff));
}

// A PCM WAV file around `data`.
std::string wav(int channels, int rate, int bits, const std::string& data) {
    std::string s = "RIFF";
    put(s, 36 + data.size(), 4);
    s += "WAVEfmt ";
    for (auto [v, n] : {std::pair<uint32_t, int>{16, 4}, {1, 2}, {channels, 2}, {rate, 4},
                        {rate * channels * bits / 8, 4}, {channels * bits / 8, 2}, {bits, 2}})
        put(s, v, n);
    s += "data";
    put(s, data.size(), 4);
    return s + data;
}

// `count` 16-bit samples of v + i * step.
std::string samples16(int count, int v, int step = 0) {
    std::string s;
    for (int i = 0; i < count; ++i) put(s, uint16_t(v + i * step), 2);
    return s;
}

class SoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // PlaySound reads "data/sfx.pkf" from the working directory.
        ASSERT_EQ(chdir(testutil::tempDir("sfx").c_str()), 0);
        mkdir("data", 0755);
        testutil::writePack("data/sfx.pkf",
                            {{"loud.wav", wav(2, 22050, 16, samples16(4096, 1000))},  // 8192 bytes
                             {"neg.wav", wav(2, 22050, 16, samples16(2048, -300))},   // 4096 bytes
                             {"mono8.wav", wav(1, 11025, 8, std::string(100, '\xc0'))},
                             {"short.wav", wav(2, 22050, 16, samples16(200, -200, 3))},
                             {"three.wav", wav(3, 22050, 16, samples16(90, 5))},
                             {"five.wav", wav(5, 11025, 8, std::string(50, 'x'))},
                             {"rate1.wav", wav(2, 1, 16, samples16(64, 5))},
                             {"nochan.wav", wav(0, 22050, 16, samples16(64, 5))},
                             {"junk.wav", "this is not a wave file at all"}});
    }
    void SetUp() override {
        for (SoundChannel& ch : channels) ch = SoundChannel();
    }
    void TearDown() override { SetUp(); }

    // Plays `name` (the pack reader's lines kept out); returns standard error.
    static std::string play(const char* name) {
        testutil::CaptureStdout out;
        ::testing::internal::CaptureStderr();
        PlaySound(name);
        return ::testing::internal::GetCapturedStderr();
    }
    // One device buffer of 1024 stereo 16-bit frames, mixed from silence; as samples.
    static std::vector<int16_t> callback() {
        std::vector<int16_t> stream(2048, 0);
        audioCallback(nullptr, reinterpret_cast<Uint8*>(stream.data()), 4096);
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
    for (int i = 0; i < kSoundChannels; ++i) before[i] = channels[i].data.get();

    EXPECT_EQ(play("loud.wav"), "") << "a dropped sound says nothing";
    for (int i = 0; i < kSoundChannels; ++i) {
        EXPECT_EQ(channels[i].data.get(), before[i]);
        EXPECT_EQ(channels[i].pos, 0);
    }
    std::vector<int16_t> s = callback();
    EXPECT_EQ(s[0], 32000);
    EXPECT_EQ(s[2047], 32000);
    callback();
    EXPECT_EQ(busySlots(), 0);
}

TEST_F(SoundTest, TwoSoundsAreMixedFromTheStartOfEachBuffer) {
    play("loud.wav");
    play("neg.wav");
    std::vector<int16_t> s = callback();
    for (size_t i = 0; i < 2048; i += 97) ASSERT_EQ(s[i], 700) << i;
    s = callback();  // neg.wav has ended, loud.wav goes on
    EXPECT_EQ(s[0], 1000);
    EXPECT_EQ(s[2047], 1000);
    EXPECT_EQ(callback()[0], 0);
}

TEST_F(SoundTest, MonoEightBitIsConvertedToTheOutputFormat) {
    ASSERT_EQ(play("mono8.wav"), "");
    // 100 samples at 11025 Hz: 200 frames at 22050 Hz, 2 channels, 2 bytes.
    EXPECT_EQ(channels[0].len, 800);
    std::vector<int16_t> s = callback();
    for (size_t i = 0; i < 400; ++i) ASSERT_EQ(s[i], 0x4000) << i;  // unsigned 0xc0 -> signed 0x4000
    EXPECT_EQ(s[400], 0);
    EXPECT_EQ(busySlots(), 0);
}

TEST_F(SoundTest, ShortSoundEndsInItsFirstBufferAndItsSlotIsReused) {
    ASSERT_EQ(play("short.wav"), "");
    ASSERT_EQ(channels[0].len, 400);
    std::vector<int16_t> s = callback();
    for (int i = 0; i < 200; ++i) ASSERT_EQ(s[i], -200 + 3 * i) << i;
    EXPECT_EQ(s[200], 0);
    EXPECT_EQ(busySlots(), 0);

    play("loud.wav");
    EXPECT_EQ(channels[0].len, 8192);
    EXPECT_EQ(channels[0].pos, 0);
    EXPECT_EQ(channels[1].len, 0);
}

// Unconvertible formats (SDL 1.2 would mix them as garbage, loop or overrun)
// are dropped with PlaySound's line on standard error.
TEST_F(SoundTest, SoundsThatCannotBePlayedAreDroppedOnStandardError) {
    for (const char* name : {"nope.wav", "junk.wav", "three.wav", "five.wav", "rate1.wav", "nochan.wav"}) {
        const std::string err = play(name);
        const std::string prefix = std::string("FAIL: PlaySound: Couldn't load ") + name + ": ";
        EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
        EXPECT_GT(err.size(), prefix.size() + 1) << "with a reason";
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_EQ(channels[0].data, nullptr) << name << " took a slot";
    }
    EXPECT_EQ(callback(), std::vector<int16_t>(2048, 0));
    // A conversion buffer beyond a 32-bit slot length is refused like a failed allocation.
    EXPECT_EQ(convertBufferSize(100, 8), 800u);
    EXPECT_EQ(convertBufferSize(0x3fffffffu, 2), 0x7ffffffeu);
    EXPECT_EQ(convertBufferSize(0x40000000u, 2), 0u);
    EXPECT_EQ(convertBufferSize(100, 0), 0u);
}

}  // namespace
