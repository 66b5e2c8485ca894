// Tokenizer: splitting rules, conversions, lookups and the editing operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/parser.h"
#include "testutil.h"

namespace {

using V = std::vector<std::string>;

V elems(const Parser& p) {
    V out;
    for (int32_t i = 0; i < p.count(); ++i) out.push_back(p.show(i));
    return out;
}

// Split and edit cases: text and separators, an optional edit ('i'ns, 'd'el,
// 's'wap at index i with s), then the text and the elements after it.
TEST(Parser, SplitAndEditTable) {
    struct Row {
        std::string text, seps;
        char op;
        int i;
        const char* s;
        std::string wantText;
        V want;
    };
    const Row rows[] = {
        {"  a  b ", " ", 0, 0, "", "  a  b ", {"a", "b"}},
        {"a\nb c", " ", 0, 0, "", "a\nb c", {"a\nb", "c"}},
        {"x y\r\n\r\nz", "\n\r", 0, 0, "", "x y\r\n\r\nz", {"x y", "z"}},
        {"", " ", 0, 0, "", "", {}},
        {"   ", " ", 0, 0, "", "   ", {}},
        {"abc def", "", 0, 0, "", "abc def", {}},  // no separators: nothing is ever closed
        {std::string("ab\0cd", 5), " ", 0, 0, "", std::string("ab\0cd", 5), {"ab", "cd"}},
        {"a,b;;c", ";,;", 0, 0, "", "a,b;;c", {"a", "b", "c"}},
        // ins: in front of element i+1, after the separators following element i.
        {"a b", " ", 'i', -1, "q ", "q a b", {"q", "a", "b"}},
        {"q a b", " ", 'i', 0, "r  ", "q r  a b", {"q", "r", "a", "b"}},
        {"q r a b", " ", 'i', 2, "x", "q r a xb", {"q", "r", "a", "xb"}},
        // ins after the last element appends, keeping that element apart.
        {"a b", " ", 'i', 1, "c", "a b c", {"a", "b", "c"}},
        {"a b  ", " ", 'i', 1, "c", "a b  c", {"a", "b", "c"}},
        {"", " ", 'i', -1, "z", "z", {"z"}},
        // del removes the element and the separators in front of it.
        {"  one,, two ,three,", ", ", 'd', 1, "", "  one ,three,", {"one", "three"}},
        {"  one ,three,", ", ", 'd', 0, "", "   ,three,", {"three"}},
        {"a b c", " ", 'd', 2, "", "a b", {"a", "b"}},
        {"three", " ", 'd', 0, "", "", {}},
        {"a b c", " ", 's', 1, "x ", "a x c", {"a", "x", "c"}},
        {"a x c", " ", 's', 0, "y ", " y x c", {"y", "x", "c"}},
        {"y x c", " ", 's', 2, "z", "y x z", {"y", "x", "z"}},  // s must not glue onto "x"
        {"solo", " ", 's', 0, "nowy", "nowy", {"nowy"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("text '" + r.text + "' op " + (r.op ? r.op : '-') + " " + std::to_string(r.i));
        Parser p(r.text, r.seps);
        if (r.op == 'i') p.ins(r.i, r.s);
        if (r.op == 'd') p.del(r.i);
        if (r.op == 's') p.swap(r.i, r.s);
        EXPECT_EQ(p.getText(), r.wantText);
        EXPECT_EQ(elems(p), r.want);
    }
}

TEST(Parser, ResplitsAfterSetTextAndSetSeparators) {
    Parser p("a b\nc d", "\n");
    p.setSeparators(" \n");
    EXPECT_EQ(elems(p), (V{"a", "b", "c", "d"}));
    p.setText("one");
    EXPECT_EQ(elems(p), (V{"one"}));
}

TEST(Parser, AbsentIndicesLogAndChangeNothing) {
    Parser p("a b", " ");
    testutil::CaptureStdout cap;
    EXPECT_EQ(p.show(2), "");
    EXPECT_EQ(p.val(-1), 0);
    EXPECT_FALSE(p.isVal(7));
    p.ins(2, "x ");
    p.ins(-2, "x ");
    p.del(2);
    p.del(-1);
    p.swap(2, "x");
    p.swap(-1, "x");
    EXPECT_EQ(cap.stop(),
              "FAIL: Parser.show: Element 2 nie istnieje\nFAIL: Parser.val: Element -1 nie istnieje\n"
              "FAIL: Parser.isVal: Element 7 nie istnieje\nFAIL: Parser.ins: Element 2 nie istnieje\n"
              "FAIL: Parser.ins: Element -2 nie istnieje\nFAIL: Parser.del: Element 2 nie istnieje\n"
              "FAIL: Parser.del: Element -1 nie istnieje\nFAIL: Parser.swap: Element 2 nie istnieje\n"
              "FAIL: Parser.swap: Element -1 nie istnieje\n");
    EXPECT_EQ(p.getText(), "a b");
}

TEST(Parser, ValClampsAndIsValWantsCanonicalForm) {
    const struct {
        const char* e;
        int32_t val;
        bool isVal;
    } rows[] = {
        {"-42", -42, true}, {"007", 7, false}, {"12ab", 12, false}, {"abc", 0, false},
        {"0", 0, true}, {"+5", 5, false}, {"-0", 0, false}, {"\t5", 5, false},
        {"2147483647", 2147483647, true}, {"2147483648", 2147483647, false},
        {"-2147483648", -2147483647 - 1, true}, {"-2147483649", -2147483647 - 1, false},
        {"99999999999999999999", 2147483647, false},
    };
    for (const auto& r : rows) {
        Parser p(r.e, " ");
        EXPECT_EQ(p.val(0), r.val) << r.e;
        EXPECT_EQ(p.isVal(0), r.isVal) << r.e;
    }
}

TEST(Parser, FindReturnsFirstExactMatchOrMinusOne) {
    Parser p("ab a ab abc", " ");
    EXPECT_EQ(p.find("ab"), 0);
    EXPECT_EQ(p.find("a"), 1);
    EXPECT_EQ(p.find("abc"), 3);
    EXPECT_EQ(p.find("b"), -1);
    EXPECT_EQ(p.find(""), -1);
    EXPECT_EQ(p.find(std::string("a\0zz", 4)), 1);  // compared up to the zero byte
}

}  // namespace
