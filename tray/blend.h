// The arithmetic of the icon flash, free of any platform code.
//
// Pixels are 32-bit words with blue in bits 0-7, green in 8-15 and red in 16-23;
// bits 24-31 carry no colour.
#pragma once

#include <cstddef>
#include <cstdint>

// Steps in one rise to the alert colours and back; the counter runs 0..FLASH_STEPS-1.
constexpr int FLASH_STEPS = 32;
// The weight that gives the alert colours in full.
constexpr int FLASH_FULL_WEIGHT = 256;

// Each colour byte moves from `from` towards `to` by weight/256 of the way, the
// difference rounded towards zero; the top byte of the result is 0. weight: 0..256.
std::uint32_t blendPixel(std::uint32_t from, std::uint32_t to, int weight);

int nextFlashCounter(int counter);

// The weight of step n (0..31): rising by 16 to 256 at n = 16, then falling back.
int flashWeight(int n);

// blendPixel over count pixels.
void blendFrame(std::uint32_t* out, const std::uint32_t* from, const std::uint32_t* to,
                std::size_t count, int weight);
