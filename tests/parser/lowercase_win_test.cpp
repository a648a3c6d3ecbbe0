// The lowering of the page under the ANSI code page the test runs with: 1252 (the
// system's own mapping, which the table must equal) or a multibyte one (932), where the
// system would join bytes into characters and the table is used instead.
#include <windows.h>

#include <gtest/gtest.h>

#include "poller/lowercase.h"

namespace {

TEST(LowercaseWin, TableEqualsTheSystemMappingOfCodePage1252)
{
    ASSERT_EQ(GetACP(), 1252u);
    char bytes[256];
    for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
    CharLowerBuffA(bytes, 256);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(static_cast<unsigned char>(bytes[b]), cp1252Lower[b]) << "byte " << b;
}

// Every byte value, twice over. Under code page 932 CharLowerBuffA would read 0x81-0x9F
// and 0xE0-0xFC as lead bytes and join each with the byte after it, and what follows
// would no longer stand where it stood in the page.
TEST(LowercaseWin, LowerBytesLowersEveryByteInItsOwnPlace)
{
    char bytes[512];
    for (int i = 0; i < 512; ++i) bytes[i] = static_cast<char>(i & 0xFF);
    lowerBytes(bytes, sizeof bytes);
    for (int i = 0; i < 512; ++i)
        EXPECT_EQ(static_cast<unsigned char>(bytes[i]), cp1252Lower[i & 0xFF]) << "index " << i;
}

// Run only by lowercase_win_cp932_test: proves that the lowering there faced a
// multibyte code page.
TEST(LowercaseWinCp932, TheCodePageIsMultibyte)
{
    CPINFO codePage = {};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &codePage));
    EXPECT_GT(codePage.MaxCharSize, 1u) << "code page " << GetACP();
}

}  // namespace
