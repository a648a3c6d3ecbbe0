#include "poller/parser_internal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

// The search exactly as the parser's rules put it, one start position after another.
std::ptrdiff_t referenceFindBounded(const char* text, const char* needle, std::ptrdiff_t limit)
{
    const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(std::strlen(needle));
    if (m == 0) return 0;
    for (std::ptrdiff_t i = 0; i <= limit - m; ++i) {
        if (text[i] == '\0') return -1;
        if (std::memcmp(text + i, needle, static_cast<std::size_t>(m)) == 0) return i;
    }
    return -1;
}

// The text in a heap block of exactly its size, so that a read past it is caught.
std::unique_ptr<char[]> exactCopy(const std::string& text)
{
    std::unique_ptr<char[]> copy(new char[text.size()]);
    std::memcpy(copy.get(), text.data(), text.size());
    return copy;
}

std::ptrdiff_t offsetOf(const char* found, const char* text) { return found ? found - text : -1; }

TEST(FindBounded, FollowsTheStartPositionRules)
{
    using namespace std::string_literals;
    struct Case {
        std::string text;
        const char* needle;
        std::ptrdiff_t limit;
        std::ptrdiff_t expected;
    };
    const Case cases[] = {
        {"abcabc", "bc", 6, 1},
        {"abcabc", "ca", 6, 2},
        {"abcabc", "bc", 2, -1},  // the match would reach past the limit
        {"abcabc", "bc", 3, 1},   // it just fits
        {"abcabc", "abcabc", 6, 0},
        {"abcabc", "abcabcx", 6, -1},  // limit shorter than the needle
        {"abcabc", "", 0, 0},          // an empty needle is found at once
        {"abcabc", "", -5, 0},
        {"ab\0bc"s, "bc", 5, -1},  // a NUL before the match ends the search
        {"\0abc"s, "abc", 4, -1},
        {"bc\0"s, "bc", 3, 0},    // a NUL after the match does not matter
        {"abcx\0"s, "cx", 4, 2},  // a NUL past the last start position is never tried
        {"xab\0"s, "ab", 4, 1},
        {"xy\0"s, "yz", 3, -1},  // partial match up to the NUL
        {"aaab", "aab", 4, 1},
        {"abc", "abc", -1, -1},
        {"", "a", 0, -1},
    };
    for (const auto& c : cases) {
        auto text = exactCopy(c.text);
        EXPECT_EQ(offsetOf(findBounded(text.get(), c.needle, c.limit), text.get()), c.expected)
            << "needle " << c.needle << " limit " << c.limit;
    }
}

TEST(FindBounded, AgreesWithTheStepByStepSearchOnRandomTexts)
{
    std::mt19937 random(20261208);
    const char alphabet[] = {'a', 'b', 'c', '\0', 'A', '\xe9'};
    std::uniform_int_distribution<int> pick(0, 5);
    std::uniform_int_distribution<int> nulChance(0, 9);
    for (int round = 0; round < 40000; ++round) {
        const int length = static_cast<int>(random() % 80);
        std::string text;
        for (int i = 0; i < length; ++i) {
            char c = alphabet[pick(random)];
            // Keep NUL bytes rarer than the other bytes so that matches are common.
            if (c == '\0' && nulChance(random) != 0) c = 'a';
            text += c;
        }
        std::string needle;
        const int needleLength = static_cast<int>(random() % 6);
        for (int i = 0; i < needleLength; ++i) {
            char c = alphabet[pick(random)];
            needle += c == '\0' ? 'b' : c;
        }
        const std::ptrdiff_t limit = static_cast<std::ptrdiff_t>(random() % (length + 3)) - 2;
        auto copy = exactCopy(text);
        ASSERT_EQ(offsetOf(findBounded(copy.get(), needle.c_str(), limit), copy.get()),
                  referenceFindBounded(copy.get(), needle.c_str(), limit))
            << "round " << round << " needle " << needle << " limit " << limit;
    }
}

TEST(FindBounded, FindsMarkersAcrossALongText)
{
    // Long stretches exercise the anchored scan over many near misses.
    std::string text(100000, 'x');
    for (std::size_t i = 0; i < text.size(); i += 97) text.replace(i, 9, "img/ico_e");
    text.replace(text.size() - 30, 19, "img/ico_encours.gif");
    auto copy = exactCopy(text);
    const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(text.size());
    EXPECT_EQ(offsetOf(findBounded(copy.get(), "img/ico_encours.gif", size), copy.get()),
              size - 30);
    EXPECT_EQ(findBounded(copy.get(), "img/ico_encours.gif", size - 12), nullptr);
    copy[5000] = '\0';
    EXPECT_EQ(findBounded(copy.get(), "img/ico_encours.gif", size), nullptr);
    EXPECT_EQ(offsetOf(findBounded(copy.get(), "ico_e", size), copy.get()), 4);
}

TEST(FindChar, IsBoundedByTheCountAndPassesOverNul)
{
    using namespace std::string_literals;
    struct Case {
        std::string text;
        char c;
        std::ptrdiff_t count;
        std::ptrdiff_t expected;
    };
    const Case cases[] = {
        {"ab<cd<", '<', 6, 2}, {"ab<cd<", '<', 2, -1}, {"ab<cd<", '<', 3, 2},
        {"a\0b<"s, '<', 4, 3}, {"a\0b<"s, '\0', 4, 1}, {"<", '<', 0, -1},
        {"<", '<', -1, -1},
    };
    for (const auto& c : cases) {
        auto text = exactCopy(c.text);
        EXPECT_EQ(offsetOf(findChar(text.get(), c.c, c.count), text.get()), c.expected)
            << "char " << c.c << " count " << c.count;
    }
}

}  // namespace
