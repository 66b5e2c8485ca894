// Score table: the downloaded text's format, its failures and the two sorts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scores/hiscore.h"
#include "testutil.h"

using testutil::CaptureStdout;
using testutil::writeFile;

namespace {

class HiscoreTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = testutil::tempDir("hiscore"); }
    // Loads text as a file; returns the log.
    std::string loadText(Hiscore& h, const std::string& text) {
        const std::string p = dir_ + "/dl.txt";
        writeFile(p, text);
        CaptureStdout cap;
        h.load(p.c_str());
        return cap.stop();
    }
    std::string dir_;
};

TEST_F(HiscoreTest, LoadsTriplesInFileOrder) {
    Hiscore h;
    EXPECT_EQ(loadText(h, "a 1 2"), "OK  : Hiscore.load: Wczytano wyniki\n");
    ASSERT_EQ(h.count, 1);
    EXPECT_EQ(h.records[0].place, 1);
    EXPECT_STREQ(h.records[0].nick, "a");
    EXPECT_EQ(h.records[0].flies, 1);
    EXPECT_EQ(h.records[0].time, 2);

    EXPECT_EQ(loadText(h, "  kot 12 3600   pies 7x abc\n"), "OK  : Hiscore.load: Wczytano wyniki\n");
    ASSERT_EQ(h.count, 2);
    EXPECT_STREQ(h.records[0].nick, "kot");
    EXPECT_EQ(h.records[0].flies, 12);
    EXPECT_EQ(h.records[0].time, 3600);
    EXPECT_EQ(h.records[1].place, 2);
    EXPECT_STREQ(h.records[1].nick, "pies");
    EXPECT_EQ(h.records[1].flies, 7);
    EXPECT_EQ(h.records[1].time, 0);
}

TEST_F(HiscoreTest, LongNicksAreCutTo32Bytes) {
    Hiscore h;
    const std::string nick(40, 'n');
    loadText(h, nick + " 1 2 " + std::string(32, 'm') + " 3 4");
    ASSERT_EQ(h.count, 2);
    EXPECT_EQ(std::string(h.records[0].nick), nick.substr(0, 32));
    EXPECT_EQ(std::string(h.records[1].nick), std::string(32, 'm'));
}

TEST_F(HiscoreTest, TextEndsAtTheFirstZeroByte) {
    Hiscore h;
    loadText(h, std::string("a 1 2\0b 3 4", 11));
    EXPECT_EQ(h.count, 1);
}

TEST_F(HiscoreTest, BadFilesAreRejectedAndLeaveTheTableEmpty) {
    Hiscore h;
    const struct {
        std::string text;
        int n;
    } bad[] = {{"", 0}, {"    ", 0}, {"a 1 2 b 3", 5}, {"a 1 2\nb 3 4", 5}};
    for (const auto& b : bad) {
        loadText(h, "old 5 5");
        ASSERT_EQ(h.count, 1);
        EXPECT_EQ(loadText(h, b.text), "FAIL: Hiscore.load: Zly plik (" + std::to_string(b.n) + ")\n") << b.text;
        EXPECT_EQ(h.count, 0);
        EXPECT_EQ(h.records, nullptr);
    }
}

TEST_F(HiscoreTest, UnopenableFileKeepsThePreviousTable) {
    Hiscore h;
    loadText(h, "kot 12 3600");
    CaptureStdout cap;
    h.load((dir_ + "/brak.txt").c_str());
    EXPECT_EQ(cap.stop(), "FAIL: Hiscore.load: Nie udalo sie otworzyc pliku\n");
    ASSERT_EQ(h.count, 1);
    EXPECT_STREQ(h.records[0].nick, "kot");
    // A directory opens but cannot be read as a file.
    CaptureStdout dir;
    h.load(dir_.c_str());
    const std::string log = dir.stop();
    EXPECT_EQ(log.compare(0, 6, "FAIL: "), 0) << log;
}

TEST_F(HiscoreTest, SortsKeepPlacesAndSetTheFlag) {
    Hiscore h;
    loadText(h, "a 5 100 b 9 50 c 7 300 d 9 10");
    h.sortByFlies();
    EXPECT_TRUE(h.sortedByFlies);
    ASSERT_EQ(h.count, 4);
    EXPECT_EQ(h.records[0].flies, 9);
    EXPECT_EQ(h.records[1].flies, 9);
    EXPECT_STREQ(h.records[2].nick, "c");
    EXPECT_EQ(h.records[2].place, 3);
    EXPECT_STREQ(h.records[3].nick, "a");
    EXPECT_EQ(h.records[3].place, 1);
    h.sortByTime();
    EXPECT_FALSE(h.sortedByFlies);
    const char* byTime[] = {"c", "a", "b", "d"};
    const int places[] = {3, 1, 2, 4};
    for (int k = 0; k < 4; ++k) {
        EXPECT_STREQ(h.records[k].nick, byTime[k]);
        EXPECT_EQ(h.records[k].place, places[k]);
    }
    // Negative and extreme values order correctly (no subtraction overflow).
    loadText(h, "x -2147483648 0 y 2147483647 0 z -1 0");
    h.sortByFlies();
    EXPECT_STREQ(h.records[0].nick, "y");
    EXPECT_STREQ(h.records[1].nick, "z");
    EXPECT_STREQ(h.records[2].nick, "x");
}

TEST_F(HiscoreTest, ClearEmptiesAndAnEmptyTableSorts) {
    Hiscore h;
    loadText(h, "a 1 2 b 3 4");
    h.clear();
    EXPECT_EQ(h.count, 0);
    EXPECT_EQ(h.records, nullptr);
    h.sortByTime();
    h.sortByFlies();
    EXPECT_TRUE(h.sortedByFlies);
    h.clear();
}

}  // namespace
