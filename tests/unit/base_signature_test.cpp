// The score signature's field rules.
#include <gtest/gtest.h>

#include "base/signature.h"

namespace {

// Canonical non-negative 32-bit numbers only.
TEST(ScoreForm, Counts) {
    int32_t v = -1;
    EXPECT_TRUE(parseCount("0", &v) && v == 0);
    EXPECT_TRUE(parseCount("2147483647", &v) && v == 2147483647);
    for (const char* bad : {"", "00", "012", "-0", "-1", "+1", " 1", "1 ", "2147483648", "12345678901", "1a"})
        EXPECT_FALSE(parseCount(bad, &v)) << bad;
}

}  // namespace
