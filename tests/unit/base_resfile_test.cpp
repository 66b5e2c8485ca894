// Pack reader against packs written here: gaps between data blocks, a
// dataBase past the table, duplicate names, empty entries, broken files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "media/resfile.h"
#include "testutil.h"

using testutil::CaptureStdout;
using testutil::packBytes;
using testutil::writeFile;

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
void* operator new[](size_t n) { return operator new(n); }
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
    testutil::writePack(p, kEntries, 7);
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
    EXPECT_EQ(loadStr(r, "", "pusty.txt", -1), "");  // a 1-byte buffer holding 0
    EXPECT_EQ(r.size(), 0u);
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(r.entryName(i), kEntries[i].name.c_str());
    EXPECT_EQ(r.entryName(5), nullptr);
    EXPECT_EQ(r.entryName(-1), nullptr);
    EXPECT_EQ(r.load("", "Kursor.bmp", -1), nullptr);  // case matters
    EXPECT_EQ(r.load("", "kursor.bmp", 5), nullptr);
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\n" +
                              "FAIL: Resfile.load: Nie znaleziono Kursor.bmp/-1 w " + p + "\n" +
                              "FAIL: Resfile.load: Nie znaleziono kursor.bmp/5 w " + p + "\n");
}

// Packs that cannot be read whole: no entries, their logs, and no allocation
// sized by a number read from the file.
TEST_F(ResfileTest, BrokenPacksHaveNoEntries) {
    const std::string good = packBytes(kEntries);
    std::string magic = good, version = good, hugeN = good, hugeL = good;
    magic[0] = 'p';
    version[4] = 2;
    put32(hugeN, 9, 0xFFFFFFFFu);
    put32(hugeL, 13 + 8, 0xFFFFFFF0u);
    const std::string failed = "FAIL: Resfile.count: NULL\nFAIL: Resfile.load: NULL\n";
    const std::string notFound = "FAIL: Resfile.load: Nie znaleziono kursor.bmp/-1 w @\n";
    const std::string unsupported = "FAIL: Resfile.open: Nieobslugiwana wersja resfile\n" + notFound;
    const struct {
        const char* name;
        std::string bytes, log;  // after the Otwieranie line; "@" stands for the path
        bool ready;
    } rows[] = {
        {"empty.pkf", packBytes({}), notFound, true},  // N = 0
        {"short.pkf", "PAKF", "FAIL: Resfile.open: Brak naglowka\n" + notFound, false},
        {"magic.pkf", magic, unsupported, false},
        {"version.pkf", version, unsupported, false},
        {"missing.pkf", "", "FAIL: Resfile.open: NULL\n" + failed, false},
        {".", "", failed, false},  // a directory
        {"hugeN.pkf", hugeN, failed, false},
        {"hugeL.pkf", hugeL, failed, false},
        // Cut inside dataBase/N, inside the first record, inside a name.
        {"cut7.pkf", good.substr(0, 7), failed, false},
        {"cut11.pkf", good.substr(0, 11), failed, false},
        {"cut20.pkf", good.substr(0, 20), failed, false},
        {"cut30.pkf", good.substr(0, 30), failed, false},
    };
    for (const auto& row : rows) {
        const std::string p = path(row.name);
        if (std::string(row.name) != "missing.pkf" && std::string(row.name) != ".") writeFile(p, row.bytes);
        std::string want = "INFO: Resfile.open: Otwieranie: @\n" + row.log;
        for (size_t at; (at = want.find('@')) != std::string::npos;) want.replace(at, 1, p);
        Resfile r;
        CaptureStdout cap;
        g_maxAlloc = 0;
        g_track = true;
        EXPECT_EQ(r.count(p.c_str()), 0) << row.name;
        EXPECT_EQ(r.load("", "kursor.bmp", -1), nullptr) << row.name;
        g_track = false;
        EXPECT_LE(g_maxAlloc, 2 * good.size()) << row.name;
        EXPECT_EQ(r.ready(), row.ready) << row.name;
        EXPECT_EQ(cap.stop(), want) << row.name;
    }
}

// A failed open forgets the old pack, so it and a pack created later both open.
TEST_F(ResfileTest, ReopeningLogsOnlyWhenThePackChanges) {
    const std::string a = path("a.pkf"), b = path("b.pkf");
    testutil::writePack(a, kEntries, 3);
    Resfile r;
    CaptureStdout cap;
    r.open(a.c_str());
    r.open(a.c_str());
    EXPECT_EQ(r.count(a.c_str()), 5);
    r.open(b.c_str());
    EXPECT_EQ(r.count(a.c_str()), 5);
    testutil::writePack(b, {{"one", "1"}});
    EXPECT_EQ(loadStr(r, b.c_str(), "one", -1), "1");
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + a + "\n" + "INFO: Resfile.open: Zamykanie: " + a +
                              "\n--------------------\n" + "INFO: Resfile.open: Otwieranie: " + b +
                              "\nFAIL: Resfile.open: NULL\n" + "INFO: Resfile.open: Otwieranie: " + a + "\n" +
                              "INFO: Resfile.open: Zamykanie: " + a + "\n--------------------\n" +
                              "INFO: Resfile.open: Otwieranie: " + b + "\n");
}

TEST_F(ResfileTest, EntryOutsideTheFileIsRefusedAndTheRestStillLoads) {
    std::string bytes = packBytes(kEntries);
    put32(bytes, 13 + 4, 0x7FFFFFFFu);                     // record 0: size past the end
    put32(bytes, 13 + (12 + 10) + (12 + 9), 0xFFFFFFF0u);  // record 2: offset past the end
    const std::string p = path("out.pkf");
    writeFile(p, bytes);
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(p.c_str()), 5);
    EXPECT_FALSE(r.entryInFile(0));
    EXPECT_TRUE(r.entryInFile(1));
    EXPECT_FALSE(r.entryInFile(2));
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
    writeFile(p, bytes);
    Resfile r;
    g_maxAlloc = 0;
    g_track = true;
    const int32_t n = r.count(p.c_str());
    ASSERT_GE(n, 0);
    ASSERT_LE(size_t(n), bytes.size() / 12);
    uint32_t dataBase = 0;
    for (int i = 0; i < 4 && bytes.size() >= 9; ++i) dataBase |= uint32_t(uint8_t(bytes[5 + i])) << (8 * i);
    for (int32_t i = 0; i <= n; ++i) {
        const char* name = r.entryName(i);
        if (char* b = r.load("", "x", i)) {
            const PackEntry* e = r.entryAt(i);
            ASSERT_NE(e, nullptr);
            ASSERT_LE(uint64_t(dataBase) + e->offset + e->size, bytes.size());
            EXPECT_EQ(std::string(b, r.size()), bytes.substr(dataBase + e->offset, e->size));
            delete[] b;
        }
        if (name) delete[] r.load("", name, -1);
    }
    g_track = false;
    EXPECT_LE(g_maxAlloc, 2 * bytes.size() + 64);
}

TEST_F(ResfileTest, EveryTruncationAndSeededCorruptionsLoadSafely) {
    CaptureStdout cap;  // thousands of log lines: keep them out of the test output
    const std::string whole = packBytes(kEntries, 5);
    for (size_t len = 0; len <= whole.size(); ++len) {
        exerciseDamaged(path("t.pkf"), whole.substr(0, len));
        ASSERT_FALSE(HasFatalFailure()) << "truncated to " << len;
    }
    const std::string bytes = packBytes(kEntries, 4);
    srand(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string b = bytes;
        for (int h = 1 + rand() % 4; h > 0; --h) {
            const size_t limit = rand() % 4 ? 13 + 3 * 16 : b.size();  // mostly the header and table
            b[size_t(rand()) % limit] = char(rand() % 256);
        }
        if (rand() % 5 == 0) b.resize(size_t(rand()) % b.size());
        exerciseDamaged(path("r.pkf"), b);
        ASSERT_FALSE(HasFatalFailure()) << "round " << round;
    }
}

}  // namespace
