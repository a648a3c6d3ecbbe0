#include "tray/blend.h"

std::uint32_t blendPixel(std::uint32_t from, std::uint32_t to, int weight)
{
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int f = static_cast<int>((from >> shift) & 0xFF);
        const int t = static_cast<int>((to >> shift) & 0xFF);
        // C++ division truncates towards zero, so a falling byte rounds up and a
        // rising one rounds down: the result always lies between f and t.
        const int q = (t - f) * weight / 256;
        result |= static_cast<std::uint32_t>(f + q) << shift;
    }
    return result;
}

int nextFlashCounter(int counter)
{
    const int next = counter + 1;
    return next >= FLASH_STEPS ? 0 : next;
}

int flashWeight(int n)
{
    const int level = n < FLASH_STEPS / 2 ? n : FLASH_STEPS - n;
    return level << 4;
}

void blendFrame(std::uint32_t* out, const std::uint32_t* from, const std::uint32_t* to,
                std::size_t count, int weight)
{
    for (std::size_t i = 0; i < count; ++i) out[i] = blendPixel(from[i], to[i], weight);
}
