#include "poller/lowercase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Lowercase, TableFollowsCodePage1252) {
    for (int b = 0; b < 256; ++b) {
        const bool upper = (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7);
        int expected = upper ? b + 0x20 : b;
        if (b == 0x8A || b == 0x8C || b == 0x8E) expected = b + 0x10;
        if (b == 0x9F) expected = 0xFF;
        EXPECT_EQ(cp1252Lower[b], expected) << "byte " << b;
    }
}

TEST(Lowercase, LowersAcrossNulBytes) {
    // On Windows this goes through the system's mapping: the same results are expected.
    std::string text("AB\0\xc9\x8a\x9f\xd7\xf7Z"
                     "\xde\xdf", 11);
    lowerBytes(&text[0], text.size() - 2);
    EXPECT_EQ(text, std::string("ab\0\xe9\x9a\xff\xd7\xf7z"
                                "\xde\xdf", 11));
}

}  // namespace
