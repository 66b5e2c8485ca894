// Pack reader against packs written here: gaps between data blocks, a
// dataBase past the table, duplicate names, an empty entry, broken files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "base/resfile.h"
#include "testutil.h"

using testutil::CaptureStdout;
using testutil::packBytes;

// Every allocation is seen, so no size read from a damaged file goes trusted.
static bool g_track = false;
static size_t g_maxAlloc = 0;
static void* tracked(size_t n) {
    if (g_track && n > g_maxAlloc) g_maxAlloc = n;
    return malloc(n ? n : 1);
}
void* operator new(size_t n) {
    if (void* p = tracked(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept { return tracked(n); }
void* operator new[](size_t n, const std::nothrow_t&) noexcept { return tracked(n); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

namespace {

// Starts tracking anew, or stops; g_maxAlloc holds the largest allocation meanwhile.
void track(bool on) {
    g_track = on;
    if (on) g_maxAlloc = 0;
}

const std::vector<testutil::PackEntry> kEntries = {
    {"kursor.bmp", std::string("BM\0\x01\x02 bitmap bytes", 18)}, {"pusty.txt", ""},
    {"anim.txt", "1 0 0 32 32 16 16 1 0\n"}, {"kursor.bmp", "second copy wins by name"},
    {"hit.wav", std::string(300, 'w')}};

std::string path(const std::string& name) {
    static const std::string dir = testutil::tempDir("resfile");
    return dir + "/" + name;
}

std::string loadStr(Resfile& r, const char* name, int32_t index) {
    const auto b = r.load("", name, index);
    return b ? std::string(b->begin(), b->end()) : "<null>";
}

void put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
}

}  // namespace

// A failed open forgets the old pack, so it and a pack created later both open.
TEST(ResfileTest, ReadsEntriesByNameAndPositionAndReopensOnlyOnChange) {
    const std::string a = path("a.pkf"), b = path("b.pkf"), open = "INFO: Resfile.open: Otwieranie: ",
                      close = "INFO: Resfile.open: Zamykanie: " + a + "\n--------------------\n";
    testutil::writePack(a, kEntries, 7);
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(a.c_str()), 5);
    // The later duplicate wins by name; both stay reachable by position.
    EXPECT_EQ(loadStr(r, "kursor.bmp", -1), kEntries[3].bytes);
    EXPECT_EQ(loadStr(r, "x", 0), kEntries[0].bytes);
    EXPECT_EQ(loadStr(r, "x", 3), kEntries[3].bytes);
    EXPECT_EQ(loadStr(r, "hit.wav", -1), kEntries[4].bytes);
    EXPECT_EQ(loadStr(r, "pusty.txt", -1), "");
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(r.entryName(i), kEntries[i].name.c_str());
    EXPECT_EQ(r.entryName(5), nullptr);
    EXPECT_EQ(r.entryName(-1), nullptr);
    EXPECT_EQ(loadStr(r, "Kursor.bmp", -1), "<null>");
    EXPECT_EQ(loadStr(r, "kursor.bmp", 5), "<null>");
    r.open(a.c_str());
    r.open(b.c_str());
    EXPECT_EQ(r.count(a.c_str()), 5);
    testutil::writePack(b, {{"one", "1"}});
    EXPECT_EQ(r.count(b.c_str()), 1);
    EXPECT_EQ(loadStr(r, "one", -1), "1");
    EXPECT_EQ(cap.stop(), open + a + "\nFAIL: Resfile.load: Nie znaleziono Kursor.bmp/-1 w " + a +
                              "\nFAIL: Resfile.load: Nie znaleziono kursor.bmp/5 w " + a + "\n" + close + open + b +
                              "\nFAIL: Resfile.open: NULL\n" + open + a + "\n" + close + open + b + "\n");
}

// Packs that cannot be read whole: no entries, their logs, and no allocation
// sized by a number read from the file.
TEST(ResfileTest, BrokenPacksHaveNoEntries) {
    const std::string good = packBytes(kEntries);
    std::string magic = good, hugeN = good, hugeL = good;
    magic[0] = 'p';
    put32(hugeN, 9, 0xFFFFFFFFu);
    put32(hugeL, 13 + 8, 0xFFFFFFF0u);
    const std::string failed = "FAIL: Resfile.count: NULL\nFAIL: Resfile.load: NULL\n";
    const std::string notFound = "FAIL: Resfile.load: Nie znaleziono kursor.bmp/-1 w @\n";
    const struct {
        const char* name;
        std::string bytes, log;  // no bytes: not written; the log after the Otwieranie line, "@" the path
        PackStatus status;       // what the pack tool is told
    } rows[] = {
        {"empty.pkf", packBytes({}), notFound, PackStatus::Ready},  // N = 0
        {"short.pkf", "PAKF", "FAIL: Resfile.open: Brak naglowka\n" + notFound, PackStatus::NoHeader},
        {"magic.pkf", magic, "FAIL: Resfile.open: Nieobslugiwana wersja resfile\n" + notFound, PackStatus::BadVersion},
        {".", "", failed, PackStatus::Truncated},  // a directory
        {"hugeN.pkf", hugeN, failed, PackStatus::Truncated},
        {"hugeL.pkf", hugeL, failed, PackStatus::Truncated},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string p = path(row.name);
        if (!row.bytes.empty()) testutil::writeFile(p, row.bytes);
        std::string want = "INFO: Resfile.open: Otwieranie: @\n" + row.log;
        for (size_t at; (at = want.find('@')) != std::string::npos;) want.replace(at, 1, p);
        Resfile r;
        CaptureStdout cap;
        track(true);
        EXPECT_EQ(r.count(p.c_str()), 0);
        EXPECT_EQ(r.status(), row.status);
        EXPECT_EQ(loadStr(r, "kursor.bmp", -1), "<null>");
        track(false);
        EXPECT_LE(g_maxAlloc, 2 * good.size());
        EXPECT_EQ(cap.stop(), want);
    }
}

TEST(ResfileTest, EntryOutsideTheFileIsRefusedAndTheRestStillLoads) {
    std::string bytes = packBytes(kEntries);
    put32(bytes, 13 + 4, 0x7FFFFFFFu);                     // record 0: size past the end
    put32(bytes, 13 + (12 + 10) + (12 + 9), 0xFFFFFFF0u);  // record 2: offset past the end
    const std::string p = path("out.pkf");
    testutil::writeFile(p, bytes);
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(p.c_str()), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(r.entryInFile(i), i != 0 && i != 2) << i;
    EXPECT_EQ(loadStr(r, "x", 0), "<null>");
    EXPECT_EQ(loadStr(r, "anim.txt", -1), "<null>");
    EXPECT_EQ(loadStr(r, "hit.wav", -1), kEntries[4].bytes);  // the stream is still good
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\n" +
                              "FAIL: Resfile.load: Wpis kursor.bmp poza plikiem " + p + "\n" +
                              "FAIL: Resfile.load: Wpis anim.txt poza plikiem " + p + "\n");
}

// Every truncation of a pack and thousands of seeded corruptions, mostly of its
// header and table: no allocation exceeds twice the file (a valid table's bound).
TEST(ResfileTest, EveryTruncationAndSeededCorruptionsLoadSafely) {
    CaptureStdout cap;  // thousands of log lines
    const std::string whole = packBytes(kEntries, 5), p = path("d.pkf");
    auto loadsSafely = [&](const std::string& bytes) {
        testutil::writeFile(p, bytes);
        Resfile r;
        track(true);
        const int32_t n = r.count(p.c_str());
        for (int32_t i = 0; i <= n; ++i) {
            r.load("", "x", i);
            if (const char* name = r.entryName(i)) r.load("", name, -1);
        }
        track(false);
        return size_t(n) <= bytes.size() / 12 && g_maxAlloc <= 2 * bytes.size() + 64;
    };
    for (size_t len = 0; len <= whole.size(); ++len) ASSERT_TRUE(loadsSafely(whole.substr(0, len))) << "cut to " << len;
    srand(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string b = whole;
        for (int h = 1 + rand() % 4; h > 0; --h) {
            const size_t limit = rand() % 4 ? 13 + 3 * 16 : b.size();
            b[size_t(rand()) % limit] = char(rand() % 256);
        }
        if (rand() % 5 == 0) b.resize(size_t(rand()) % b.size());
        ASSERT_TRUE(loadsSafely(b)) << "round " << round;
    }
}
