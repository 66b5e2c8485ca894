// Tokenizer: splitting rules, conversions, lookups and the editing operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scores/parser.h"
#include "testutil.h"

using testutil::CaptureStdout;

namespace {

std::vector<std::string> elems(const Parser& p) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < p.count(); ++i) out.push_back(p.show(i));
    return out;
}

using V = std::vector<std::string>;

TEST(ParserSplit, SeparatorRunsLeadingAndTrailingSeparators) {
    EXPECT_EQ(elems(Parser("  a  b ", " ")), (V{"a", "b"}));
    EXPECT_EQ(elems(Parser("a\nb c", " ")), (V{"a\nb", "c"}));
    EXPECT_EQ(elems(Parser("x y\r\n\r\nz", "\n\r")), (V{"x y", "z"}));
    EXPECT_EQ(Parser("", " ").count(), 0);
    EXPECT_EQ(Parser("   ", " ").count(), 0);
    EXPECT_EQ(Parser("abc def", "").count(), 0);
    // A zero byte inside the text separates like a separator.
    EXPECT_EQ(elems(Parser(std::string("ab\0cd", 5), " ")), (V{"ab", "cd"}));
    // Separator order and repetition do not matter.
    EXPECT_EQ(elems(Parser("a,b;;c", ";,;")), (V{"a", "b", "c"}));
}

TEST(ParserSplit, ResplitsAfterSetTextAndSetSeparators) {
    Parser p("a b\nc d", "\n");
    EXPECT_EQ(elems(p), (V{"a b", "c d"}));
    p.setSeparators(" \n");
    EXPECT_EQ(elems(p), (V{"a", "b", "c", "d"}));
    p.setText("one");
    EXPECT_EQ(elems(p), (V{"one"}));
    p.setText("");
    EXPECT_EQ(p.count(), 0);
}

TEST(ParserAccess, AbsentIndicesLogAndGiveNeutralResults) {
    Parser p("1 2 3", " ");
    CaptureStdout cap;
    EXPECT_EQ(p.show(3), "");
    EXPECT_EQ(p.val(-1), 0);
    EXPECT_FALSE(p.isVal(7));
    EXPECT_EQ(cap.stop(),
              "FAIL: Parser.show: Element 3 nie istnieje\n"
              "FAIL: Parser.val: Element -1 nie istnieje\n"
              "FAIL: Parser.isVal: Element 7 nie istnieje\n");
}

TEST(ParserAccess, ValAndIsVal) {
    Parser p("-42 007 12ab abc 0 +5 -0 2147483647 2147483648 -2147483648 -2147483649 99999999999999999999", " ");
    EXPECT_EQ(p.val(0), -42);
    EXPECT_TRUE(p.isVal(0));
    EXPECT_EQ(p.val(1), 7);
    EXPECT_FALSE(p.isVal(1));
    EXPECT_EQ(p.val(2), 12);
    EXPECT_FALSE(p.isVal(2));
    EXPECT_EQ(p.val(3), 0);
    EXPECT_FALSE(p.isVal(3));
    EXPECT_TRUE(p.isVal(4));
    EXPECT_EQ(p.val(5), 5);
    EXPECT_FALSE(p.isVal(5));
    EXPECT_FALSE(p.isVal(6));
    EXPECT_EQ(p.val(7), 2147483647);
    EXPECT_TRUE(p.isVal(7));
    EXPECT_EQ(p.val(8), 2147483647);  // clamped to the 32-bit range
    EXPECT_FALSE(p.isVal(8));
    EXPECT_EQ(p.val(9), -2147483647 - 1);
    EXPECT_TRUE(p.isVal(9));
    EXPECT_EQ(p.val(10), -2147483647 - 1);
    EXPECT_FALSE(p.isVal(10));
    EXPECT_EQ(p.val(11), 2147483647);
    // Leading white space is skipped by the conversion but spoils canonical form.
    Parser q("\t5", " ");
    EXPECT_EQ(q.val(0), 5);
    EXPECT_FALSE(q.isVal(0));
}

TEST(ParserAccess, FindReturnsFirstMatchOrMinusOne) {
    Parser p("ab a ab abc", " ");
    EXPECT_EQ(p.find("ab"), 0);
    EXPECT_EQ(p.find("a"), 1);
    EXPECT_EQ(p.find("abc"), 3);
    EXPECT_EQ(p.find("b"), -1);
    EXPECT_EQ(p.find(""), -1);
    // Compared as a C string: bytes after a zero are ignored.
    EXPECT_EQ(p.find(std::string("a\0zz", 4)), 1);
}

TEST(ParserEdit, InsPlacesTextInFrontOfTheNextElement) {
    Parser p("a b", " ");
    p.ins(-1, "q ");
    EXPECT_EQ(p.getText(), "q a b");
    EXPECT_EQ(elems(p), (V{"q", "a", "b"}));
    p.ins(0, "r  ");
    EXPECT_EQ(p.getText(), "q r  a b");
    // Without its own separator s joins the element after it.
    p.ins(2, "x");
    EXPECT_EQ(elems(p), (V{"q", "r", "a", "xb"}));
}

TEST(ParserEdit, InsAfterTheLastElementAppendsKeepingItApart) {
    Parser p("a b", " ");
    p.ins(1, "c");
    EXPECT_EQ(p.getText(), "a b c");
    EXPECT_EQ(elems(p), (V{"a", "b", "c"}));
    Parser t("a b  ", " ");
    t.ins(1, "c");
    EXPECT_EQ(t.getText(), "a b  c");
    Parser e("", " ");
    e.ins(-1, "z");
    EXPECT_EQ(elems(e), (V{"z"}));
}

TEST(ParserEdit, BadIndicesAreRejectedWithoutChange) {
    Parser p("a b", " ");
    CaptureStdout cap;
    p.ins(2, "x ");
    p.ins(-2, "x ");
    p.del(2);
    p.del(-1);
    p.swap(2, "x");
    p.swap(-1, "x");
    EXPECT_EQ(cap.stop(),
              "FAIL: Parser.ins: Element 2 nie istnieje\n"
              "FAIL: Parser.ins: Element -2 nie istnieje\n"
              "FAIL: Parser.del: Element 2 nie istnieje\n"
              "FAIL: Parser.del: Element -1 nie istnieje\n"
              "FAIL: Parser.swap: Element 2 nie istnieje\n"
              "FAIL: Parser.swap: Element -1 nie istnieje\n");
    EXPECT_EQ(p.getText(), "a b");
}

TEST(ParserEdit, DelKeepsTheOtherElementsApartAndInOrder) {
    Parser p("  one,, two ,three,", ", ");
    p.del(1);
    EXPECT_EQ(elems(p), (V{"one", "three"}));
    EXPECT_EQ(p.getText(), "  one ,three,");
    p.del(0);
    EXPECT_EQ(elems(p), (V{"three"}));
    p.del(0);
    EXPECT_EQ(p.count(), 0);
    Parser q("a b c", " ");
    q.del(2);
    EXPECT_EQ(q.getText(), "a b");
}

TEST(ParserEdit, SwapReplacesAnyElement) {
    Parser p("a b c", " ");
    p.swap(1, "x ");
    EXPECT_EQ(elems(p), (V{"a", "x", "c"}));
    p.swap(0, "y ");
    EXPECT_EQ(elems(p), (V{"y", "x", "c"}));
    // The last element: s must not glue onto the element before it.
    p.swap(2, "z");
    EXPECT_EQ(elems(p), (V{"y", "x", "z"}));
    Parser one("solo", " ");
    one.swap(0, "nowy");
    EXPECT_EQ(elems(one), (V{"nowy"}));
}

}  // namespace
