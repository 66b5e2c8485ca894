// Score table: the downloaded text's format, its failures and the two stable sorts.
#include <gtest/gtest.h>

#include <string>

#include "base/hiscore.h"
#include "testutil.h"

namespace {

class HiscoreTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = testutil::tempDir("hiscore"); }
    // Loads text as a file; returns the log.
    std::string loadText(const std::string& text, const std::string& name = "dl.txt") {
        if (!text.empty() || name == "dl.txt") testutil::writeFile(dir_ + "/" + name, text);
        testutil::CaptureStdout cap;
        h.load((dir_ + "/" + name).c_str());
        return cap.stop();
    }
    // The records as "place:nick:flies:time ...".
    std::string rows() const {
        std::string s;
        for (int k = 0; k < h.count(); ++k)
            s += std::to_string(h.records[k].place) + ":" + h.records[k].nick + ":" +
                 std::to_string(h.records[k].flies) + ":" + std::to_string(h.records[k].time) + " ";
        return s;
    }
    std::string dir_;
    Hiscore h;
};

const char* const kOk = "OK  : Hiscore.load: Wczytano wyniki\n";

TEST_F(HiscoreTest, LoadsTriplesInFileOrder) {
    EXPECT_EQ(loadText("  kot 12 3600   pies 7x abc\n"), kOk);
    EXPECT_EQ(rows(), "1:kot:12:3600 2:pies:7:0 ");
    const std::string n40(40, 'n'), m32(32, 'm');
    EXPECT_EQ(loadText(n40 + " 1 2 " + m32 + " 3 4"), kOk);
    EXPECT_EQ(rows(), "1:" + n40.substr(0, 32) + ":1:2 2:" + m32 + ":3:4 ");
    EXPECT_EQ(loadText(std::string("a 1 2\0b 3 4", 11)), kOk);  // the text ends at a zero byte
    EXPECT_EQ(rows(), "1:a:1:2 ");
}

TEST_F(HiscoreTest, BadFilesAreRejectedAndLeaveTheTableEmpty) {
    const std::pair<std::string, int> bad[] = {{"", 0}, {"    ", 0}, {"a 1 2 b 3", 5}, {"a 1 2\nb 3 4", 5}};
    for (const auto& b : bad) {
        loadText("old 5 5");
        EXPECT_EQ(loadText(b.first), "FAIL: Hiscore.load: Zly plik (" + std::to_string(b.second) + ")\n") << b.first;
        EXPECT_EQ(h.count(), 0);
    }
}

TEST_F(HiscoreTest, UnreadableFileKeepsThePreviousTable) {
    loadText("kot 12 3600");
    EXPECT_EQ(loadText("", "brak.txt"), "FAIL: Hiscore.load: Nie udalo sie otworzyc pliku\n");
    EXPECT_EQ(loadText("", "."), "FAIL: Hiscore.load: Nie udalo sie otworzyc pliku\n");  // a directory
    EXPECT_EQ(rows(), "1:kot:12:3600 ");
}

TEST_F(HiscoreTest, SortsKeepPlacesAndSetTheFlag) {
    // b and d tie on both keys: they keep the order they had.
    loadText("a 5 100 b 9 50 c 7 300 d 9 50");
    h.sortByFlies();
    EXPECT_TRUE(h.sortedByFlies);
    EXPECT_EQ(rows(), "2:b:9:50 4:d:9:50 3:c:7:300 1:a:5:100 ");
    h.sortByTime();
    EXPECT_FALSE(h.sortedByFlies);
    EXPECT_EQ(rows(), "3:c:7:300 1:a:5:100 2:b:9:50 4:d:9:50 ");
    // Extreme values order correctly (no subtraction overflow).
    loadText("x -2147483648 2147483647 y 2147483647 -2147483648 z -1 -1");
    h.sortByFlies();
    EXPECT_EQ(rows(), "2:y:2147483647:-2147483648 3:z:-1:-1 1:x:-2147483648:2147483647 ");
    h.sortByTime();
    EXPECT_EQ(rows(), "1:x:-2147483648:2147483647 3:z:-1:-1 2:y:2147483647:-2147483648 ");
    h.clear();
    h.sortByTime();  // an empty table sorts
    EXPECT_EQ(h.count(), 0);
}

}  // namespace
