// The plain library as a file or the server sees it: MD5 and the score's
// signature, the tokenizer, the score table's file and the pack reader.
#include <gtest/gtest.h>

#include <cstring>

#include "base/hiscore.h"
#include "base/md5.h"
#include "base/parser.h"
#include "base/resfile.h"
#include "base/signature.h"
#include "testutil.h"

namespace {

using testutil::CaptureStdout;
using V = std::vector<std::string>;

std::string md5Of(const std::string& s) { return md5Hex(reinterpret_cast<const uint8_t*>(s.data()), int(s.size())); }

TEST(Md5, Rfc1321VectorsAndPaddingEdges) {
    const std::pair<std::string, const char*> rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"}, {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"}};
    for (const auto& r : rows) EXPECT_EQ(md5Of(r.first), r.second) << r.first.size() << " bytes";
}

// The body the game posts and the server checks, pinned byte for byte.
TEST(Signature, BodyNickAndCountRules) {
    EXPECT_EQ(scoreBody(12, "Kot", 3600),
              "wysyl=1&wersja=1&nick=Kot&muchy=12&czas=3600&md5=2ba03da228766f0a822286617ee3d402");
    for (const char* good : {"azAZ09_", "Kot_w_butach_2024_mistrz_much_x"}) EXPECT_TRUE(validNick(good)) << good;
    for (const char* bad : {"", "a b", "a&b", "K\xc3\xb3t", "@", "[", "`", "{", "/", ":", "Kot_w_butach_2024_mistrz_much_xy"})
        EXPECT_FALSE(validNick(bad)) << bad;
    int32_t v = -1;
    EXPECT_TRUE(parseCount("0", &v) && v == 0 && parseCount("2147483647", &v) && v == 2147483647);
    for (const char* bad : {"", "00", "012", "-1", "+1", "1a", "/", ":", "2147483648", "12345678901"})
        EXPECT_FALSE(parseCount(bad, &v)) << bad;
}

// Split and edit: text and separators, an edit ('i'ns, 'd'el, 's'wap at i with
// s), then the text and the elements after it; then the absent indices.
TEST(Parser, SplitEditAndAbsentIndices) {
    struct Row { std::string text, seps; char op; int i; const char* s; std::string wantText; V want; } rows[] = {
        {"  a  b ", " ", 0, 0, "", "  a  b ", {"a", "b"}},
        {"x y\r\n\r\nz", "\n\r", 0, 0, "", "x y\r\n\r\nz", {"x y", "z"}},
        {"abc def", "", 0, 0, "", "abc def", {}},  // no separators: nothing is ever closed
        {std::string("ab\0cd", 5), " ", 0, 0, "", std::string("ab\0cd", 5), {"ab", "cd"}},
        {"a b", " ", 'i', -1, "q ", "q a b", {"q", "a", "b"}},
        {"q r a b", " ", 'i', 2, "x", "q r a xb", {"q", "r", "a", "xb"}},
        {"a b", " ", 'i', 1, "c", "a b c", {"a", "b", "c"}},  // after the last: kept apart
        {"ab c", " ", 'i', 1, "d", "ab c d", {"ab", "c", "d"}},
        {"a b  ", " ", 'i', 1, "c", "a b  c", {"a", "b", "c"}},
        {"  one,, two ,three,", ", ", 'd', 1, "", "  one ,three,", {"one", "three"}},
        {"a b c d", " ", 'd', 2, "", "a b d", {"a", "b", "d"}},
        {"a x c", " ", 's', 0, "y ", " y x c", {"y", "x", "c"}},
    };
    for (const Row& r : rows) {
        Parser p(r.text, r.seps);
        r.op == 'i' ? p.ins(r.i, r.s) : r.op == 'd' ? p.del(r.i) : r.op == 's' ? p.swap(r.i, r.s) : void();
        V got;
        for (int32_t i = 0; i < p.count(); ++i) got.push_back(p.show(i));
        EXPECT_TRUE(p.getText() == r.wantText && got == r.want) << r.text << " " << r.op << r.i << ": " << p.getText();
    }
    Parser p("ab a ab abc", "\n");
    p.setSeparators(" \n");
    EXPECT_EQ((std::vector<int>{p.count(), p.find("ab"), p.find("a"), p.find("abc"), p.find("b"), p.find(""),
                                p.find(std::string("a\0z", 3))}),
              (std::vector<int>{4, 0, 1, 3, -1, -1, 1}));
    CaptureStdout cap;
    const std::string before = p.getText();
    EXPECT_TRUE(p.show(4) == "" && p.val(-1) == 0 && !p.isVal(4));
    p.ins(4, "x "), p.del(-1), p.swap(4, "x");
    EXPECT_EQ(cap.stop(), "FAIL: Parser.show: Element 4 nie istnieje\nFAIL: Parser.val: Element -1 nie istnieje\n"
                          "FAIL: Parser.isVal: Element 4 nie istnieje\nFAIL: Parser.ins: Element 4 nie istnieje\n"
                          "FAIL: Parser.del: Element -1 nie istnieje\nFAIL: Parser.swap: Element 4 nie istnieje\n");
    EXPECT_EQ(p.getText(), before);
    // strtol clamped to 32 bits; isVal only for the canonical "%d" form.
    p.setText("-42 007 12ab abc 0 -0 2147483647 2147483648 -2147483648 -2147483649");
    const std::vector<int32_t> vals{-42, 7, 12, 0, 0, 0, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    const std::vector<bool> canonical{true, false, false, false, true, false, true, false, true, false};
    for (int i = 0; i < p.count(); ++i) EXPECT_TRUE(p.val(i) == vals[i] && p.isVal(i) == canonical[i]) << p.show(i);
}

class HiscoreTest : public ::testing::Test {
protected:
    // Loads text written as dl.txt (nothing written for a null text); returns the log, after "refused: " when load says so.
    std::string load(const char* text, size_t size = 0, const std::string& name = "dl.txt") {
        if (text) testutil::writeFile(dir_ + "/" + name, std::string(text, size ? size : strlen(text)));
        CaptureStdout cap;
        const bool loaded = h.load((dir_ + "/" + name).c_str());
        return (loaded ? "" : "refused: ") + cap.stop();
    }
    std::string rows() const {
        std::string s;
        for (const ScoreRecord& r : h.records)
            s += std::to_string(r.place) + ":" + r.nick + ":" + std::to_string(r.flies) + ":" + std::to_string(r.time) + " ";
        return s;
    }
    std::string dir_ = testutil::tempDir("hiscore");
    Hiscore h;
};

TEST_F(HiscoreTest, LoadsTriplesAndRefusesOtherFiles) {
    const std::string ok = "OK  : Hiscore.load: Wczytano wyniki\n", n40(40, 'n');
    EXPECT_EQ(load(("  kot 12 3600   " + n40 + " 7x abc\n").c_str()), ok);
    EXPECT_EQ(rows(), "1:kot:12:3600 2:" + n40.substr(0, 32) + ":7:0 ");
    EXPECT_EQ(load("a 1 2\0b 3 4", 11), ok);  // the text ends at a zero byte
    EXPECT_EQ(rows(), "1:a:1:2 ");
    for (auto [text, n] : {std::pair<const char*, int>{"", 0}, {"   ", 0}, {"a 1 2 b 3", 5}}) {
        load("old 5 5");
        EXPECT_EQ(load(text), "refused: FAIL: Hiscore.load: Zly plik (" + std::to_string(n) + ")\n") << text;
        EXPECT_EQ(h.count(), 0) << "a bad file empties the table";
    }
    load("kot 12 3600");
    for (const char* unreadable : {"brak.txt", "."}) {  // missing, a directory: the table is kept
        EXPECT_EQ(load(nullptr, 0, unreadable), "refused: FAIL: Hiscore.load: Nie udalo sie otworzyc pliku\n");
        EXPECT_EQ(rows(), "1:kot:12:3600 ");
    }
}

const std::vector<testutil::PackEntry> kEntries = {{"kursor.bmp", std::string("BM\0\x01\x02 bitmap", 12)},
                                                   {"pusty.txt", ""}, {"anim.txt", "1 0 0 32 32 16 16\n"},
                                                   {"kursor.bmp", "second copy wins by name"}, {"hit.wav", std::string(300, 'w')}};
std::string path(const std::string& name) {
    static const std::string dir = testutil::tempDir("resfile");
    return dir + "/" + name;
}
std::string loadStr(Resfile& r, const char* name, int32_t index) {
    const auto b = r.load("", name, index);
    return b ? std::string(b->begin(), b->end()) : "<null>";
}
void put32(std::string& s, size_t at, uint32_t v) { s.replace(at, 4, std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}); }

// A failed open forgets the old pack, so it and a pack created later both open.
TEST(Resfile, ReadsEntriesByNameAndPositionAndReopensOnlyOnChange) {
    const std::string a = path("a.pkf"), b = path("b.pkf"), open = "INFO: Resfile.open: Otwieranie: ",
                      close = "INFO: Resfile.open: Zamykanie: " + a + "\n--------------------\n";
    testutil::writePack(a, kEntries, 7);
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(a.c_str()), 5);
    EXPECT_EQ(loadStr(r, "kursor.bmp", -1), kEntries[3].bytes);
    EXPECT_EQ(loadStr(r, "x", 0), kEntries[0].bytes);
    EXPECT_EQ(loadStr(r, "hit.wav", -1), kEntries[4].bytes);
    EXPECT_EQ(loadStr(r, "pusty.txt", -1), "");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(r.nameBytes(i), kEntries[i].name);
    EXPECT_TRUE(r.entryName(5) == nullptr && r.entryName(-1) == nullptr);
    EXPECT_EQ(loadStr(r, "Kursor.bmp", -1), "<null>");
    EXPECT_EQ(loadStr(r, "kursor.bmp", 5), "<null>");
    r.open(a.c_str());
    EXPECT_EQ(r.open(b.c_str()), PackStatus::NotOpened);
    EXPECT_TRUE(r.count(b.c_str()) == 0 && r.entryName(0) == nullptr && r.entryAt(0) == nullptr && !r.entryInFile(0));
    EXPECT_EQ(loadStr(r, "x", 0), "<null>");
    EXPECT_EQ(r.count(a.c_str()), 5);
    testutil::writePack(b, {{"one", ""}});  // its name ends the file
    EXPECT_EQ(r.count(b.c_str()), 1);
    EXPECT_EQ(loadStr(r, "one", -1), "");
    const std::string failed = "\nFAIL: Resfile.open: NULL\n";
    EXPECT_EQ(cap.stop(), open + a + "\nFAIL: Resfile.load: Nie znaleziono Kursor.bmp/-1 w " + a +
                              "\nFAIL: Resfile.load: Nie znaleziono kursor.bmp/5 w " + a + "\n" + close + open + b + failed +
                              open + b + failed + "FAIL: Resfile.count: NULL\nFAIL: Resfile.load: NULL\n" + open + a +
                              "\n" + close + open + b + "\n");
}

// Packs that cannot be read whole, each opened after a good one: no entries
// (nothing of the good pack left over) and their status. Short packs, huge
// counts and directories are the pack tool's script's.
TEST(Resfile, BrokenPacksHaveNoEntries) {
    const std::string good = testutil::packBytes(kEntries), goodPath = path("good.pkf"), brokenPath = path("broken.pkf");
    std::string magic = good, version = good, hugeL = good;
    magic[3] = 'f', version[4] = 2, put32(hugeL, 13 + 8, 0xFFFFFFF0u);
    testutil::writeFile(goodPath, good);
    const std::pair<std::string, PackStatus> rows[] = {{testutil::packBytes({}), PackStatus::Ready}, {"", PackStatus::NoHeader},
        {magic, PackStatus::BadVersion}, {version, PackStatus::BadVersion}, {hugeL, PackStatus::Truncated}};
    for (const auto& [bytes, status] : rows) {
        testutil::writeFile(brokenPath, bytes);
        Resfile r;
        r.logs = false;
        ASSERT_EQ(r.count(goodPath.c_str()), 5);
        const int32_t n = r.count(brokenPath.c_str());  // before the loads
        EXPECT_EQ(std::to_string(n) + loadStr(r, "kursor.bmp", -1) + loadStr(r, "x", 0), "0<null><null>");
        EXPECT_TRUE(r.status() == status && (status == PackStatus::Truncated || (!r.entryAt(0) && !r.entryName(0)))) << bytes.size();
    }
}

// An entry whose bytes leave the file is refused; the stream stays good.
TEST(Resfile, EntriesOutsideTheFileAreRefused) {
    std::string bytes = testutil::packBytes(kEntries);
    put32(bytes, 13 + 4, uint32_t(bytes.size()));           // record 0: size past the end
    put32(bytes, 13 + (12 + 10) + (12 + 9), 0xFFFFFFF0u);  // record 2: offset past the end
    const std::string p = path("out.pkf");
    testutil::writeFile(p, bytes);
    Resfile r;
    CaptureStdout cap;
    EXPECT_EQ(r.count(p.c_str()), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(r.entryInFile(i), i != 0 && i != 2) << i;
    EXPECT_EQ(loadStr(r, "x", 0), "<null>");
    EXPECT_EQ(loadStr(r, "anim.txt", -1), "<null>");
    EXPECT_EQ(loadStr(r, "hit.wav", -1), kEntries[4].bytes);
    EXPECT_EQ(cap.stop(), "INFO: Resfile.open: Otwieranie: " + p + "\nFAIL: Resfile.load: Wpis kursor.bmp poza plikiem " +
                              p + "\nFAIL: Resfile.load: Wpis anim.txt poza plikiem " + p + "\n");
}

}  // namespace
