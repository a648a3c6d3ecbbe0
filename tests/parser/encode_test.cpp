#include "poller/encode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UrlEncodeForm, EncodesTheNameForTheRequestBody)
{
    struct Case {
        const char* text;
        const char* encoded;
    };
    const Case cases[] = {
        {"Ann Lee", "Ann+Lee"}, {"a&b", "a%26b"},
        {"a+b", "a%2bb"},       {"50%=x", "50%=x"},
        {"a\tb", "a%09b"},      {"\x01\x1f", "%01%1f"},
        {"\xff", "%ff"},        {"J\xe9r\xf4me", "J%e9r%f4me"},
        {"\x80", "%80"},        {"\x7f#?/;~", "\x7f#?/;~"},
        {"  ", "++"},           {"", ""},
    };
    for (const auto& c : cases) {
        std::unique_ptr<char[]> encoded = urlEncodeForm(c.text);
        ASSERT_NE(encoded, nullptr);
        EXPECT_STREQ(encoded.get(), c.encoded) << c.text;
    }
}

TEST(UrlEncodeForm, LongestNameFitsItsAllocation)
{
    // Every byte escaped: three bytes out for each byte in, within 4n + 1.
    const std::string name(299, '\xe9');
    std::unique_ptr<char[]> encoded = urlEncodeForm(name.c_str());
    ASSERT_NE(encoded, nullptr);
    std::string expected;
    for (int i = 0; i < 299; ++i) expected += "%e9";
    EXPECT_EQ(std::string(encoded.get()), expected);
}

}  // namespace
