// MD5 against the RFC 1321 test suite, and block boundaries in md5Append.
#include <gtest/gtest.h>

#include <string>

#include "base/md5.h"

namespace {

std::string digestHex(const uint8_t d[16]) {
    std::string out;
    for (int i = 0; i < 16; ++i) out += "0123456789abcdef"[d[i] >> 4], out += "0123456789abcdef"[d[i] & 15];
    return out;
}

TEST(Md5, Rfc1321SuiteAndPaddingBoundaries) {
    const std::pair<std::string, const char*> rows[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        // Padding boundaries (digests by Python's hashlib).
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(md5Hex(reinterpret_cast<const uint8_t*>(r.first.data()), int(r.first.size())), r.second)
            << r.first.size() << " bytes";
}

// Every split point around the padding boundaries (55, 56, 63, 64 bytes) gives
// md5Hex's digest of the whole; counts below one append nothing.
TEST(Md5, SplitAppendsGiveTheSameDigest) {
    uint8_t msg[200];
    for (int i = 0; i < 200; ++i) msg[i] = uint8_t(i * 37 + 11);
    for (int len : {55, 56, 63, 64, 65, 119, 120, 128, 200}) {
        const std::string ref = md5Hex(msg, len);
        for (int cut = 0; cut <= len; ++cut) {
            Md5Context c;
            uint8_t d[16];
            md5Init(&c);
            md5Append(&c, msg, cut);
            md5Append(&c, msg, -5);
            md5Append(&c, msg + cut, len - cut);
            md5Finish(&c, d);
            ASSERT_EQ(digestHex(d), ref) << "len " << len << " cut " << cut;
        }
    }
}

}  // namespace
