// The system's ANSI lower-case mapping (code page 1252 here) against the table that
// stands in for it off Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "poller/lowercase.h"

namespace {

TEST(LowercaseWin, TableEqualsTheSystemMapping)
{
    ASSERT_EQ(GetACP(), 1252u);
    char bytes[256];
    for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
    CharLowerBuffA(bytes, 256);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(static_cast<unsigned char>(bytes[b]), cp1252Lower[b]) << "byte " << b;
}

TEST(LowercaseWin, LowerBytesUsesTheSystemMapping)
{
    char bytes[512];
    for (int i = 0; i < 512; ++i) bytes[i] = static_cast<char>(i & 0xFF);
    lowerBytes(bytes, sizeof bytes);
    for (int i = 0; i < 512; ++i)
        EXPECT_EQ(static_cast<unsigned char>(bytes[i]), cp1252Lower[i & 0xFF]) << "index " << i;
}

}  // namespace
