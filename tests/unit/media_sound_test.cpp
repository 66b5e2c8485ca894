// The mixer, driven by calling audioCallback on a buffer as SDL's audio thread
// does: what comes out of the slots, and the sounds that cannot be played.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "media/dirty.h"
#include "media/sound.h"
#include "media/video.h"
#include "testutil.h"

namespace {

void put(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char(v >> 8 * i));
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
        testutil::writePack("data/sfx.pkf", {{"loud.wav", wav(2, 22050, 16, samples16(4096, 1000))},  // 8192 bytes
                                             {"neg.wav", wav(2, 22050, 16, samples16(2048, -300))},   // 4096 bytes
                                             {"mono8.wav", wav(1, 11025, 8, std::string(100, '\xc0'))},
                                             {"short.wav", wav(2, 22050, 16, samples16(200, -200, 3))},
                                             {"three.wav", wav(3, 22050, 16, samples16(90, 5))},
                                             {"five.wav", wav(5, 11025, 8, std::string(50, 'x'))},
                                             {"rate1.wav", wav(2, 1, 16, samples16(64, 5))},
                                             {"fast.wav", wav(2, 192001, 16, samples16(64, 5))},
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
    s = callback();
    for (size_t i = 0; i < 2048; i += 97) ASSERT_EQ(s[i], 700) << i;
    s = callback();  // neg.wav has ended, loud.wav goes on
    EXPECT_TRUE(s[0] == 1000 && s[2047] == 1000);
    EXPECT_EQ(callback()[0], 0);
}

TEST_F(SoundTest, ConvertedAndShortSoundsEndInTheirBuffer) {
    ASSERT_EQ(play("mono8.wav"), "");
    ASSERT_EQ(play("short.wav"), "");
    // 100 samples at 11025 Hz: 200 stereo frames at 22050 Hz; unsigned 0xc0 is signed 0x4000.
    std::vector<int16_t> s = callback();
    for (int i = 0; i < 400; ++i) ASSERT_EQ(s[i], 0x4000 + (i < 200 ? -200 + 3 * i : 0)) << i;
    EXPECT_EQ(s[400], 0);
}

// Formats SDL 1.2 would mix as garbage, loop on or overrun: dropped, with
// PlaySound's line and a reason on standard error.
TEST_F(SoundTest, SoundsThatCannotBePlayedAreDroppedOnStandardError) {
    for (const char* name : {"nope.wav", "junk.wav", "three.wav", "five.wav", "rate1.wav", "fast.wav"}) {
        const std::string err = play(name), prefix = std::string("FAIL: PlaySound: Couldn't load ") + name + ": ";
        EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << "one line: " << err;
        EXPECT_GT(err.size(), prefix.size() + 1) << "with a reason";
        EXPECT_EQ(err.find("unknown error"), std::string::npos) << err;
    }
    EXPECT_EQ(callback(), std::vector<int16_t>(2048, 0));
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

// Video and audio open together (the mixer's format, playing), the window at
// the size asked, for a full update; a second call makes both again.
TEST_F(SoundTest, InitOpensTheWindowAndTheMixer) {
    SDL_Surface* bmp = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 24, 0xff0000, 0xff00, 0xff, 0);
    SDL_SaveBMP(bmp, "ikona.bmp");
    SDL_FreeSurface(bmp);
    testutil::writePack("data/gfx.pkf", {{"ikona.bmp", testutil::readFile("ikona.bmp")}});
    fillAudioSpec();
    for (int round = 0; round < 2; ++round) {
        testutil::CaptureStdout quiet;
        fullUpdate = false;
        ASSERT_TRUE(init(0, 64, 48));
        EXPECT_TRUE(screenW() == 64 && screenH() == 48 && fullUpdate && SDL_GetAudioStatus() == SDL_AUDIO_PLAYING);
        EXPECT_TRUE(audioSpec.freq == 22050 && audioSpec.format == AUDIO_S16LSB && audioSpec.channels == 2);
        ASSERT_TRUE(icon && (icon->flags & SDL_SRCCOLORKEY)) << "the window's icon, magenta transparent";
        EXPECT_EQ(icon->format->colorkey, SDL_MapRGB(icon->format, 255, 0, 255));
    }
    closeVideo();
    EXPECT_TRUE(SDL_WasInit(SDL_INIT_VIDEO) == 0 && icon == nullptr);
}

}  // namespace
