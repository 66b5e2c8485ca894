// The mixer, driven by calling audioCallback on a buffer as SDL's audio thread
// does: what comes out of the slots, and the sounds that cannot be played.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "media/sound.h"
#include "testutil.h"

namespace {

// `count` 16-bit samples of v + i * step.
std::string samples16(int count, int v, int step = 0) {
    std::string s;
    for (int i = 0; i < count; ++i) s += {char(v + i * step), char((v + i * step) >> 8)};
    return s;
}

class SoundTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // PlaySound reads "data/sfx.pkf" from the working directory.
        ASSERT_EQ(chdir(testutil::tempDir("sfx").c_str()), 0);
        mkdir("data", 0755);
        testutil::writePack("data/sfx.pkf", {{"loud.wav", testutil::wav(2, 22050, 16, samples16(4096, 1000))},  // 8192 bytes
                                             {"neg.wav", testutil::wav(2, 22050, 16, samples16(2000, -300, -1))},  // 4000 bytes
                                             {"three.wav", testutil::wav(3, 22050, 16, samples16(90, 5))},
                                             {"five.wav", testutil::wav(5, 11025, 8, std::string(50, 'x'))},
                                             {"rate1.wav", testutil::wav(2, 1, 16, samples16(64, 5))},
                                             {"fast.wav", testutil::wav(2, 192001, 16, samples16(64, 5))},
                                             {"junk.wav", "this is not a wave file at all"}});
    }
    void SetUp() override {
        for (SoundChannel& ch : channels) ch = SoundChannel();
    }

    // Plays `name` (the pack reader's lines kept out); returns standard error.
    static std::string play(const char* name) {
        testutil::CaptureStdout out;
        ::testing::internal::CaptureStderr();
        PlaySound(name);
        return ::testing::internal::GetCapturedStderr();
    }
    // One device buffer of 1024 stereo 16-bit frames, mixed onto silence.
    static std::vector<int16_t> callback() {
        std::vector<int16_t> stream(2048, 0);
        audioCallback(nullptr, reinterpret_cast<Uint8*>(stream.data()), 4096);
        return stream;
    }
};

TEST_F(SoundTest, ThirtyTwoSlotsMixedThenTheNextIsDropped) {
    for (int i = 0; i < 32; ++i) ASSERT_EQ(play("loud.wav"), "");
    EXPECT_EQ(play("neg.wav"), "") << "a dropped sound says nothing";
    std::vector<int16_t> s = callback();  // 32 x 1000, clipped; no -300 in it
    EXPECT_TRUE(s[0] == 32000 && s[2047] == 32000) << s[0] << " " << s[2047];
    EXPECT_EQ(callback()[2047], 32000);
    EXPECT_EQ(callback()[0], 0) << "all 32 ended after 8192 bytes";
    play("loud.wav");
    play("neg.wav");
    s = callback();  // neg.wav ends within the buffer
    for (int i = 0; i < 2048; ++i) ASSERT_EQ(s[i], 1000 + (i < 2000 ? -300 - i : 0)) << i;
    s = callback();  // neg.wav has ended, loud.wav goes on
    EXPECT_TRUE(s[0] == 1000 && s[2047] == 1000);
    EXPECT_EQ(callback()[0], 0);
}

// Formats SDL 1.2 would mix as garbage, loop on or overrun: dropped, with
// PlaySound's line and a reason on standard error.
TEST_F(SoundTest, SoundsThatCannotBePlayedAreDroppedOnStandardError) {
    for (const char* name : {"nope.wav", "junk.wav", "three.wav", "five.wav", "rate1.wav", "fast.wav"}) {
        const std::string err = play(name), prefix = std::string("FAIL: PlaySound: Couldn't load ") + name + ": ";
        EXPECT_TRUE(err.rfind(prefix, 0) == 0 && err.find('\n') == err.size() - 1 && err.size() > prefix.size() + 1 &&
                    err.find("unknown error") == std::string::npos) << "one line with a reason: " << err;
    }
    EXPECT_EQ(callback(), std::vector<int16_t>(2048, 0));
    EXPECT_NE(play("three.wav").find(": Unsupported WAV format (3 channels, 22050 Hz)\n"), std::string::npos);
    SDL_AudioSpec edge{};
    for (auto [ch, rate, ok] : {std::tuple{1, 2000, true}, {6, 192000, true}, {4, 1999, false}, {2, 192001, false}}) {
        edge.channels = Uint8(ch), edge.freq = rate;
        EXPECT_EQ(convertibleWav(edge), ok) << ch << " channels " << rate << " Hz";
    }
    // A conversion buffer beyond a 32-bit slot length is refused like a failed allocation.
    EXPECT_EQ(convertBufferSize(0x3fffffffu, 2), 0x7ffffffeu);
    EXPECT_EQ(convertBufferSize(0x40000000u, 2), 0u);
    EXPECT_EQ(convertBufferSize(100, 0), 0u);
}

}  // namespace
