// Pack reader against packs written here: gaps between data blocks, a
// dataBase past the table, duplicate names, empty entries, broken files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

#include "media/resfile.h"
#include "testutil.h"

using testutil::CaptureStdout;
using testutil::packBytes;
using testutil::writeFile;
using testutil::writePack;

// The largest single allocation made while g_track is set, so the robustness
// tests can see that no size read from a damaged file is trusted.
static bool g_track = false;
static size_t g_maxAlloc = 0;

static void* trackedAlloc(size_t n) {
    if (g_track && n > g_maxAlloc) g_maxAlloc = n;
    return malloc(n ? n : 1);
}
void* operator new(size_t n) {
    if (void* p = trackedAlloc(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) {
    if (void* p = trackedAlloc(n)) return p;
    throw std::bad_alloc();
}
void* operator new(size_t n, const std::nothrow_t&) noexcept { return trackedAlloc(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return trackedAlloc(n); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

namespace {

const std::vector<testutil::PackEntry> kEntries = {
    {"kursor.bmp", std::string("BM\0\x01\x02 bitmap bytes", 18)},
    {"pusty.txt", ""},
    {"anim.txt", "1 0 0 32 32 16 16 1 0\n"},
    {"kursor.bmp", "second copy wins by name"},
    {"hit.wav", std::string(300, 'w')},
};

std::string loadStr(Resfile& r, const char* file, const char* name, int32_t index) {
    char* b = r.load(file, name, index);
    if (!b) return "<null>";
    std::string s(b, r.size());
    EXPECT_EQ(b[r.size()], 0) << "missing the added 0 byte";
    delete[] b;
    return s;
}

void put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xff);
}

class ResfileTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = testutil::tempDir("resfile"); }
    std::string path(const std::string& name) { return dir_ + "/" + name; }
    std::string dir_;
};

TEST_F(ResfileTest, ReadsEntriesByNameAndPositionWithGapsAndDataBase) {
    const std::string p = path("a.pkf");
    writePack(p, kEntries, 7);
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(p.c_str()), 5);
    // The later duplicate wins by name; both stay reachable by position.
    EXPECT_EQ(loadStr(r, "", "kursor.bmp", -1), "second copy wins by name");
    EXPECT_EQ(loadStr(r, "", "x", 0), kEntries[0].bytes);
    EXPECT_EQ(loadStr(r, "", "x", 3), kEntries[3].bytes);
    EXPECT_EQ(loadStr(r, "", "hit.wav", -1), kEntries[4].bytes);
    EXPECT_EQ(r.size(), 300u);
    EXPECT_EQ(loadStr(r, p.c_str(), "anim.txt", -1), kEntries[2].bytes);
    // Zero-size entry: a 1-byte buffer holding 0.
    EXPECT_EQ(loadStr(r, "", "pusty.txt", -1), "");
    EXPECT_EQ(r.size(), 0u);
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(r.entryName(i), nullptr);
        EXPECT_STREQ(r.entryName(i), kEntries[i].name.c_str());
        EXPECT_TRUE(r.entryInFile(i));
    }
    EXPECT_EQ(r.entryName(5), nullptr);
    EXPECT_EQ(r.entryName(-1), nullptr);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\n");
}

TEST_F(ResfileTest, ReopeningLogsOnlyWhenThePackChanges) {
    const std::string a = path("a.pkf"), b = path("b.pkf");
    writePack(a, kEntries, 3);
    writePack(b, {{"one", "1"}});
    Resfile r;
    CaptureStdout cap;
    r.open(a.c_str());
    r.open(a.c_str());
    EXPECT_EQ(r.count(a.c_str()), 5);
    EXPECT_EQ(r.count(b.c_str()), 1);
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + a + "\n" +
                              "INFO: Resfile.open: Zamykanie: " + a + "\n--------------------\n" +
                              "INFO: Resfile.open: Otwieranie: " + b + "\n");
}

TEST_F(ResfileTest, NotFoundMessagesNameTheEntryIndexAndPack) {
    const std::string p = path("a.pkf");
    writePack(p, kEntries);
    Resfile r;
    CaptureStdout cap;
    r.open(p.c_str());
    cap.stop();
    CaptureStdout log;
    EXPECT_EQ(r.load("", "brak.bmp", -1), nullptr);
    EXPECT_EQ(r.load("", "kursor.bmp", 5), nullptr);
    EXPECT_EQ(r.load("", "Kursor.bmp", -1), nullptr);  // case matters
    EXPECT_EQ(log.stop(), "FAIL: Resfile.load: Nie znaleziono brak.bmp/-1 w " + p + "\n" +
                              "FAIL: Resfile.load: Nie znaleziono kursor.bmp/5 w " + p + "\n" +
                              "FAIL: Resfile.load: Nie znaleziono Kursor.bmp/-1 w " + p + "\n");
}

TEST_F(ResfileTest, EmptyPackCountsZeroAndFindsNothing) {
    const std::string p = path("empty.pkf");
    writePack(p, {});
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(p.c_str()), 0);
    EXPECT_EQ(r.load("", "a", -1), nullptr);
    EXPECT_TRUE(r.ready());
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\n" +
                              "FAIL: Resfile.load: Nie znaleziono a/-1 w " + p + "\n");
}

TEST_F(ResfileTest, ShortOrRejectedHeadersLeaveAPackWithoutEntries) {
    const std::string shortFile = path("short.pkf"), badMagic = path("magic.pkf"), badVersion = path("ver.pkf");
    writeFile(shortFile, "PAKF");
    std::string bytes = packBytes(kEntries);
    std::string m = bytes;
    m[0] = 'p';
    writeFile(badMagic, m);
    std::string v = bytes;
    v[4] = 2;
    writeFile(badVersion, v);

    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(shortFile.c_str()), 0);
    EXPECT_EQ(r.load("", "kursor.bmp", -1), nullptr);
    EXPECT_FALSE(r.ready());
    const std::string shortLog = cap.stop();
    EXPECT_EQ(shortLog, "INFO: Resfile.open: Otwieranie: " + shortFile + "\n" +
                            "FAIL: Resfile.open: Brak naglowka\n" +
                            "FAIL: Resfile.load: Nie znaleziono kursor.bmp/-1 w " + shortFile + "\n");
    for (const std::string& p : {badMagic, badVersion}) {
        CaptureStdout c;
        EXPECT_EQ(r.count(p.c_str()), 0);
        EXPECT_EQ(r.load("", "kursor.bmp", 0), nullptr);
        EXPECT_FALSE(r.ready());
        const std::string log = c.stop();
        EXPECT_NE(log.find("FAIL: Resfile.open: Nieobslugiwana wersja resfile\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("NULL"), std::string::npos) << log;
    }
}

TEST_F(ResfileTest, MissingFileFailsUntilItCanBeOpened) {
    const std::string p = path("later.pkf");
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(p.c_str()), 0);
    EXPECT_EQ(r.load("", "a", -1), nullptr);
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\n" +
                              "FAIL: Resfile.open: NULL\n" +
                              "FAIL: Resfile.count: NULL\n" + "FAIL: Resfile.load: NULL\n");
    writePack(p, {{"a", "xyz"}});
    CaptureStdout again;
    EXPECT_EQ(loadStr(r, p.c_str(), "a", -1), "xyz");
    again.stop();
}

TEST_F(ResfileTest, DirectoryIsAFailedStream) {
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(dir_.c_str()), 0);
    EXPECT_FALSE(r.ready());
    EXPECT_NE(cap.stop().find("FAIL: Resfile.count: NULL\n"), std::string::npos);
}

TEST_F(ResfileTest, ReopensTheOldPackAfterAFailedSwitch) {
    const std::string a = path("a.pkf");
    writePack(a, kEntries);
    Resfile r;
    CaptureStdout cap;
    r.open(a.c_str());
    r.open(path("missing.pkf").c_str());
    EXPECT_EQ(r.count(a.c_str()), 5);
    cap.stop();
}

TEST_F(ResfileTest, TruncatedTableFailsTheStreamUntilAnotherPackOpens) {
    const std::string good = path("good.pkf");
    writePack(good, kEntries);
    const std::string bytes = packBytes(kEntries);
    // Inside dataBase/N, inside the first record, inside a name.
    for (size_t cut : {7u, 11u, 20u, 30u}) {
        const std::string p = path("cut" + std::to_string(cut) + ".pkf");
        writeFile(p, bytes.substr(0, cut));
        Resfile r;
        CaptureStdout cap;
        EXPECT_EQ(r.count(p.c_str()), 0);
        EXPECT_EQ(r.load("", "kursor.bmp", -1), nullptr);
        EXPECT_EQ(r.load("", "kursor.bmp", 0), nullptr);
        EXPECT_EQ(r.count(good.c_str()), 5);
        EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\n" +
                                  "FAIL: Resfile.count: NULL\n" + "FAIL: Resfile.load: NULL\n" +
                                  "FAIL: Resfile.load: NULL\n" + "INFO: Resfile.open: Zamykanie: " + p +
                                  "\n--------------------\n" + "INFO: Resfile.open: Otwieranie: " + good + "\n")
            << "cut at " << cut;
    }
}

TEST_F(ResfileTest, HugeCountsAndNameLengthsFailWithoutAllocating) {
    std::string bytes = packBytes(kEntries);
    std::string hugeN = bytes;
    put32(hugeN, 9, 0xFFFFFFFFu);
    std::string hugeL = bytes;
    put32(hugeL, 13 + 8, 0xFFFFFFF0u);
    for (const std::string& b : {hugeN, hugeL}) {
        const std::string p = path("huge.pkf");
        writeFile(p, b);
        Resfile r;
        CaptureStdout cap;
        g_maxAlloc = 0;
        g_track = true;
        const int32_t n = r.count(p.c_str());
        g_track = false;
        EXPECT_EQ(n, 0);
        EXPECT_LE(g_maxAlloc, 2 * b.size());
        EXPECT_NE(cap.stop().find("FAIL: Resfile.count: NULL\n"), std::string::npos);
    }
}

TEST_F(ResfileTest, EntryOutsideTheFileIsRefusedAndTheRestStillLoads) {
    std::string bytes = packBytes(kEntries);
    // Record 0: size reaching past the end. Record 2: offset past the end.
    put32(bytes, 13 + 4, 0x7FFFFFFFu);
    const size_t rec2 = 13 + (12 + 10) + (12 + 9);
    put32(bytes, rec2, 0xFFFFFFF0u);
    const std::string p = path("out.pkf");
    writeFile(p, bytes);
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(p.c_str()), 5);
    EXPECT_FALSE(r.entryInFile(0));
    EXPECT_FALSE(r.entryInFile(2));
    EXPECT_TRUE(r.entryInFile(1));
    g_maxAlloc = 0;
    g_track = true;
    EXPECT_EQ(r.load("", "x", 0), nullptr);
    EXPECT_EQ(r.load("", "anim.txt", -1), nullptr);
    g_track = false;
    EXPECT_LT(g_maxAlloc, bytes.size());
    EXPECT_EQ(loadStr(r, "", "hit.wav", -1), kEntries[4].bytes);  // the stream is still good
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\n" +
                              "FAIL: Resfile.load: Wpis kursor.bmp poza plikiem " + p + "\n" +
                              "FAIL: Resfile.load: Wpis anim.txt poza plikiem " + p + "\n");
}

// Opens a damaged pack and loads every entry both ways. Whatever loads must be
// exactly the file's bytes at dataBase + offset, and no allocation may exceed
// twice the file (the table of a valid pack is at most that).
void exerciseDamaged(const std::string& p, const std::string& bytes) {
    Resfile r;
    g_maxAlloc = 0;
    g_track = true;
    const int32_t n = r.count(p.c_str());
    ASSERT_GE(n, 0);
    ASSERT_LE(size_t(n), bytes.size() / 12);
    const uint32_t dataBase = bytes.size() >= 9 ? uint32_t(uint8_t(bytes[5])) | uint32_t(uint8_t(bytes[6])) << 8 |
                                                      uint32_t(uint8_t(bytes[7])) << 16 | uint32_t(uint8_t(bytes[8])) << 24
                                                : 0;
    for (int32_t i = 0; i <= n; ++i) {
        const char* name = r.entryName(i);
        char* b = r.load("", "x", i);
        if (b) {
            const PackEntry* e = r.entryAt(i);
            ASSERT_NE(e, nullptr);
            const uint64_t from = uint64_t(dataBase) + e->offset;
            ASSERT_LE(from + e->size, bytes.size());
            EXPECT_EQ(std::string(b, r.size()), bytes.substr(from, e->size));
            delete[] b;
        }
        if (name) delete[] r.load("", name, -1);
    }
    g_track = false;
    EXPECT_LE(g_maxAlloc, 2 * bytes.size() + 64);
}

TEST_F(ResfileTest, EveryTruncationOpensAndLoadsSafely) {
    const std::string bytes = packBytes(kEntries, 5);
    const std::string p = path("t.pkf");
    CaptureStdout cap;  // thousands of log lines: keep them out of the test output
    for (size_t len = 0; len <= bytes.size(); ++len) {
        writeFile(p, bytes.substr(0, len));
        exerciseDamaged(p, bytes.substr(0, len));
        if (HasFatalFailure()) return;
    }
    // The whole file is a valid pack again.
    Resfile r;
    EXPECT_EQ(r.count(p.c_str()), 5);
    EXPECT_EQ(loadStr(r, "", "hit.wav", -1), kEntries[4].bytes);
}

TEST_F(ResfileTest, SeededRandomCorruptionsOpenAndLoadSafely) {
    const std::string bytes = packBytes(kEntries, 4);
    const std::string p = path("r.pkf");
    srand(20240611);
    CaptureStdout cap;
    for (int round = 0; round < 3000; ++round) {
        std::string b = bytes;
        const int hits = 1 + rand() % 4;
        for (int h = 0; h < hits; ++h) {
            // Mostly the header and table, where the numbers live.
            const size_t limit = rand() % 4 ? 13 + 3 * 16 : b.size();
            b[size_t(rand()) % limit] = char(rand() % 256);
        }
        if (rand() % 5 == 0) b.resize(size_t(rand()) % b.size());
        writeFile(p, b);
        exerciseDamaged(p, b);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
