#include "poller/lowercase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Lowercase, LowersAcrossNulBytes)
{
    // On Windows this goes through the system's mapping: the same results are expected.
    std::string text("AB\0\xc9\x8a\x9f\xd7\xf7Z"
                     "\xde\xdf",
                     11);
    lowerBytes(&text[0], text.size() - 2);
    EXPECT_EQ(text, std::string("ab\0\xe9\x9a\xff\xd7\xf7z"
                                "\xde\xdf",
                                11));
}

}  // namespace
