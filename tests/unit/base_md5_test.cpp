// MD5 against the RFC 1321 test suite, and block boundaries in md5Append.
#include <gtest/gtest.h>

#include <string>

#include "scores/md5.h"

namespace {

std::string hexOf(const std::string& s) {
    char* h = md5Hex(reinterpret_cast<const uint8_t*>(s.data()), int(s.size()));
    EXPECT_NE(h, nullptr);
    std::string out = h ? h : "";
    delete[] h;
    return out;
}

std::string digestHex(const uint8_t d[16]) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 16; ++i) {
        out += digits[d[i] >> 4];
        out += digits[d[i] & 15];
    }
    return out;
}

TEST(Md5, Rfc1321Suite) {
    EXPECT_EQ(hexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(hexOf("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(hexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(hexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(hexOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(hexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(hexOf("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, SplitAppendsGiveTheSameDigest) {
    uint8_t msg[200];
    for (int i = 0; i < 200; ++i) msg[i] = uint8_t(i * 37 + 11);
    uint8_t whole[16], split[16];
    Md5Context a, b;
    md5Init(&a);
    md5Append(&a, msg, 100);
    md5Finish(&a, whole);
    md5Init(&b);
    md5Append(&b, msg, 1);
    md5Append(&b, msg + 1, 63);
    md5Append(&b, msg + 64, 36);
    md5Finish(&b, split);
    EXPECT_EQ(digestHex(whole), digestHex(split));
    char* h = md5Hex(msg, 100);
    EXPECT_EQ(digestHex(whole), std::string(h));
    delete[] h;

    // Every split point around the padding boundaries (55, 56, 63, 64 bytes).
    for (int len : {55, 56, 63, 64, 65, 119, 120, 128, 200}) {
        char* ref = md5Hex(msg, len);
        for (int cut = 0; cut <= len; ++cut) {
            Md5Context c;
            uint8_t d[16];
            md5Init(&c);
            md5Append(&c, msg, cut);
            md5Append(&c, msg + cut, len - cut);
            md5Finish(&c, d);
            ASSERT_EQ(digestHex(d), std::string(ref)) << "len " << len << " cut " << cut;
        }
        delete[] ref;
    }
}

TEST(Md5, CountsBelowOneAppendNothing) {
    Md5Context c;
    uint8_t d[16];
    md5Init(&c);
    md5Append(&c, reinterpret_cast<const uint8_t*>("abc"), 0);
    md5Append(&c, reinterpret_cast<const uint8_t*>("abc"), -5);
    md5Append(&c, reinterpret_cast<const uint8_t*>("abc"), 3);
    md5Finish(&c, d);
    EXPECT_EQ(digestHex(d), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
