// The arithmetic of the flash: the blend of one pixel and the 32-step weight cycle.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tray/blend.h"

namespace {

std::uint32_t rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(b);
}

struct BlendCase {
    const char* what;
    std::uint32_t from, to;
    int weight;
    std::uint32_t expected;
};

TEST(BlendPixel, MovesEachColourByteTowardsTheTarget)
{
    const BlendCase cases[] = {
        {"weight 0 keeps the normal colour", rgb(255, 0, 0), rgb(0, 128, 0), 0, rgb(255, 0, 0)},
        {"weight 256 gives the alert colour", rgb(255, 0, 0), rgb(0, 128, 0), 256, rgb(0, 128, 0)},
        {"weight 16, falling byte rounds towards zero", rgb(0, 0, 200), rgb(0, 0, 10), 16,
         rgb(0, 0, 189)},
        {"weight 16, rising byte rounds towards zero", rgb(0, 0, 10), rgb(0, 0, 200), 16,
         rgb(0, 0, 21)},
        {"rounding in the green byte", rgb(0, 200, 0), rgb(0, 10, 0), 16, rgb(0, 189, 0)},
        {"rounding in the red byte", rgb(10, 0, 0), rgb(200, 0, 0), 16, rgb(21, 0, 0)},
        {"bytes move independently", rgb(255, 0, 128), rgb(0, 255, 128), 128, rgb(128, 127, 128)},
        {"the half way of red to maroon", rgb(255, 0, 0), rgb(128, 0, 0), 128, rgb(192, 0, 0)},
        {"full-range fall never borrows from a neighbour", rgb(255, 255, 255), rgb(0, 0, 0), 240,
         rgb(16, 16, 16)},
        {"full-range rise never carries into a neighbour", rgb(0, 0, 0), rgb(255, 255, 255), 256,
         rgb(255, 255, 255)},
        {"top byte of the sources is dropped", 0xFF000000u | rgb(1, 2, 3),
         0xAB000000u | rgb(1, 2, 3), 128, rgb(1, 2, 3)},
        {"top byte dropped at weight 0", 0xFFFFFFFFu, 0x12345678u, 0, rgb(255, 255, 255)},
        {"top byte dropped at weight 256", 0x80000000u, 0xFF00FF00u, 256, rgb(0, 255, 0)},
    };
    for (const BlendCase& c : cases)
        EXPECT_EQ(blendPixel(c.from, c.to, c.weight), c.expected) << c.what;
}

TEST(BlendPixel, EveryWeightStaysBetweenTheTwoColours)
{
    const std::uint32_t from = rgb(200, 10, 77), to = rgb(10, 200, 77);
    int previousRed = 256;
    for (int weight = 0; weight <= 256; weight += 16) {
        const std::uint32_t p = blendPixel(from, to, weight);
        const int red = static_cast<int>(p >> 16 & 0xFF), green = static_cast<int>(p >> 8 & 0xFF);
        EXPECT_GE(red, 10);
        EXPECT_LE(red, 200);
        EXPECT_GE(green, 10);
        EXPECT_LE(green, 200);
        EXPECT_EQ(p & 0xFF, 77u);
        EXPECT_LT(red, previousRed) << "weight " << weight;
        previousRed = red;
    }
}

TEST(FlashCycle, WeightsRiseToTheAlertColoursAndFallBack)
{
    const int expected[FLASH_STEPS] = {0,   16,  32,  48,  64,  80,  96,  112, 128, 144, 160,
                                       176, 192, 208, 224, 240, 256, 240, 224, 208, 192, 176,
                                       160, 144, 128, 112, 96,  80,  64,  48,  32,  16};
    for (int n = 0; n < FLASH_STEPS; ++n) EXPECT_EQ(flashWeight(n), expected[n]) << "step " << n;
}

TEST(FlashCycle, CounterWrapsAfterStep31AndNeverReaches32)
{
    // From a fresh start: steps 1..31, then 0 (the pure normal colours), then 1 again.
    int counter = 0;
    std::vector<int> seen;
    for (int i = 0; i < 2 * FLASH_STEPS + 1; ++i) {
        counter = nextFlashCounter(counter);
        seen.push_back(counter);
        ASSERT_GE(counter, 0);
        ASSERT_LT(counter, FLASH_STEPS);
    }
    EXPECT_EQ(seen[0], 1);
    EXPECT_EQ(seen[30], 31);
    EXPECT_EQ(seen[31], 0);
    EXPECT_EQ(seen[32], 1);
    EXPECT_EQ(seen[63], 0);
    EXPECT_EQ(flashWeight(seen[31]), 0);
    EXPECT_EQ(flashWeight(seen[15]), FLASH_FULL_WEIGHT);
}

}  // namespace
