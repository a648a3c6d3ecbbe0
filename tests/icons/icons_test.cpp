// Reads res/main.ico and res/alert.ico back and checks what the tray and the flash
// rely on: one 16 x 16 image at 4 bits per pixel with the standard palette, a shared
// outline with transparent edge columns and black under transparency, and the colours.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int SIZE = 16;
constexpr std::size_t FILE_SIZE = 6 + 16 + 40 + 16 * 4 + SIZE * 8 + SIZE * 4;

struct Rgb {
    int r, g, b;
    bool operator<(const Rgb& o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

const Rgb BLACK{0, 0, 0}, MAROON{128, 0, 0}, RED{255, 0, 0};
const Rgb GREEN{0, 128, 0}, TEAL{0, 128, 128}, LIME{0, 255, 0};
const Rgb OLIVE{128, 128, 0}, NAVY{0, 0, 128}, PURPLE{128, 0, 128}, SILVER{192, 192, 192};
const Rgb GREY{128, 128, 128}, YELLOW{255, 255, 0}, BLUE{0, 0, 255}, FUCHSIA{255, 0, 255};
const Rgb AQUA{0, 255, 255}, WHITE{255, 255, 255};

const std::array<Rgb, 16> STANDARD_PALETTE = {BLACK, MAROON,  GREEN, OLIVE, NAVY, PURPLE,
                                              TEAL,  SILVER,  GREY,  RED,   LIME, YELLOW,
                                              BLUE,  FUCHSIA, AQUA,  WHITE};

unsigned u16(const std::vector<unsigned char>& b, std::size_t at)
{
    return b.at(at) | (b.at(at + 1) << 8);
}

std::uint32_t u32(const std::vector<unsigned char>& b, std::size_t at)
{
    return u16(b, at) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

// One icon file taken apart; rows are stored here top row first.
struct Icon {
    std::vector<unsigned char> bytes;
    std::array<Rgb, 16> palette{};
    std::array<std::array<Rgb, SIZE>, SIZE> colour{};
    std::array<std::array<bool, SIZE>, SIZE> transparent{};
};

Icon readIcon(const std::string& name)
{
    Icon icon;
    std::ifstream in(std::string(TURNBELL_TOOLS_DIR) + "/../res/" + name, std::ios::binary);
    icon.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto& b = icon.bytes;
    if (b.size() != FILE_SIZE) return icon;

    const std::size_t image = 22;
    for (int i = 0; i < 16; ++i) {
        const std::size_t at = image + 40 + 4 * i;
        icon.palette[i] = Rgb{b[at + 2], b[at + 1], b[at]};
    }
    const std::size_t xorAt = image + 40 + 64;
    const std::size_t andAt = xorAt + SIZE * 8;
    for (int stored = 0; stored < SIZE; ++stored) {
        const int y = SIZE - 1 - stored;  // bitmaps run bottom-up
        for (int x = 0; x < SIZE; ++x) {
            const unsigned char pair = b[xorAt + stored * 8 + x / 2];
            const int index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
            icon.colour[y][x] = icon.palette[index];
            const unsigned char maskByte = b[andAt + stored * 4 + x / 8];
            icon.transparent[y][x] = (maskByte >> (7 - x % 8)) & 1;
        }
    }
    return icon;
}

const Icon normalIcon = readIcon("main.ico");
const Icon alertIcon = readIcon("alert.ico");
const Icon* const normal = &normalIcon;
const Icon* const alert = &alertIcon;

TEST(IconFiles, EachHoldsOneSixteenPixelFourBitImage)
{
    for (const Icon* icon : {normal, alert}) {
        const auto& b = icon->bytes;
        ASSERT_EQ(b.size(), FILE_SIZE);
        EXPECT_EQ(u16(b, 0), 0u);   // reserved
        EXPECT_EQ(u16(b, 2), 1u);   // type: icon
        EXPECT_EQ(u16(b, 4), 1u);   // one image
        EXPECT_EQ(b[6], SIZE);      // width
        EXPECT_EQ(b[7], SIZE);      // height
        EXPECT_EQ(b[8], 16);        // colours
        EXPECT_EQ(u16(b, 10), 1u);  // planes
        EXPECT_EQ(u16(b, 12), 4u);  // bits per pixel
        EXPECT_EQ(u32(b, 14), FILE_SIZE - 22);
        EXPECT_EQ(u32(b, 18), 22u);
        // The image's own header: height counts colour and mask rows together.
        EXPECT_EQ(u32(b, 22), 40u);
        EXPECT_EQ(u32(b, 26), static_cast<std::uint32_t>(SIZE));
        EXPECT_EQ(u32(b, 30), static_cast<std::uint32_t>(2 * SIZE));
        EXPECT_EQ(u16(b, 34), 1u);
        EXPECT_EQ(u16(b, 36), 4u);
        EXPECT_EQ(u32(b, 38), 0u);  // BI_RGB
    }
}

TEST(IconFiles, UseTheStandardSixteenColourPalette)
{
    EXPECT_EQ(normal->palette, STANDARD_PALETTE);
    EXPECT_EQ(alert->palette, STANDARD_PALETTE);
}

TEST(IconFiles, ShareOneOutlineWithTransparentEdgeColumns)
{
    ASSERT_EQ(normal->bytes.size(), FILE_SIZE);
    ASSERT_EQ(alert->bytes.size(), FILE_SIZE);
    EXPECT_EQ(normal->transparent, alert->transparent);
    int opaque = 0;
    for (int y = 0; y < SIZE; ++y) {
        EXPECT_TRUE(normal->transparent[y][0]) << "row " << y;
        EXPECT_TRUE(normal->transparent[y][SIZE - 1]) << "row " << y;
        for (int x = 0; x < SIZE; ++x) opaque += normal->transparent[y][x] ? 0 : 1;
    }
    // A drawing, not a blank or a filled square.
    EXPECT_GT(opaque, SIZE * SIZE / 3);
    EXPECT_LT(opaque, SIZE * SIZE - 2 * SIZE);
}

TEST(IconFiles, AreBlackUnderEveryTransparentPixel)
{
    for (const Icon* icon : {normal, alert}) {
        for (int y = 0; y < SIZE; ++y) {
            for (int x = 0; x < SIZE; ++x) {
                if (icon->transparent[y][x]) {
                    EXPECT_EQ(icon->colour[y][x], BLACK) << "x " << x << " y " << y;
                }
            }
        }
    }
}

// The same drawing in two colourings: each normal colour turns into one alert colour
// (red into the body green or the lime highlight, the maroon edge into teal), and each
// icon is drawn mainly in its body colour.
TEST(IconFiles, DrawTheSameShapeInRedAndInGreen)
{
    std::map<Rgb, int> normalUse, alertUse;
    std::map<Rgb, std::set<Rgb>> turnsInto;
    for (int y = 0; y < SIZE; ++y) {
        for (int x = 0; x < SIZE; ++x) {
            if (normal->transparent[y][x]) continue;
            ++normalUse[normal->colour[y][x]];
            ++alertUse[alert->colour[y][x]];
            turnsInto[normal->colour[y][x]].insert(alert->colour[y][x]);
        }
    }
    EXPECT_EQ(normalUse.size(), 2u);
    EXPECT_GT(normalUse[RED], 40);
    EXPECT_GT(normalUse[RED], normalUse[MAROON]);
    EXPECT_GT(normalUse[MAROON], 0);

    EXPECT_EQ(alertUse.size(), 3u);
    EXPECT_GT(alertUse[GREEN], 40);
    EXPECT_GT(alertUse[GREEN], alertUse[TEAL]);
    EXPECT_GT(alertUse[GREEN], alertUse[LIME]);
    EXPECT_GT(alertUse[TEAL], 0);
    EXPECT_GT(alertUse[LIME], 0);

    EXPECT_EQ(turnsInto[MAROON], (std::set<Rgb>{TEAL}));
    EXPECT_EQ(turnsInto[RED], (std::set<Rgb>{GREEN, LIME}));
}

}  // namespace
