// One flash frame: 16 x 16 pixels blended from the normal towards the alert colours.
// The flash computes one every 100 ms for as long as the user does not react.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "tray/blend.h"

namespace {

constexpr std::size_t FRAME_PIXELS = 16 * 16;

void frameBlend(benchmark::State& state)
{
    std::vector<std::uint32_t> normal(FRAME_PIXELS), alert(FRAME_PIXELS), out(FRAME_PIXELS);
    for (std::size_t i = 0; i < FRAME_PIXELS; ++i) {
        normal[i] = i % 3 ? 0x00FF0000u : 0x00800000u;  // red body, maroon edge
        alert[i] = i % 3 ? 0x00008000u : 0x00008080u;   // green body, teal edge
    }
    int n = 0;
    for (auto _ : state) {
        n = nextFlashCounter(n);
        blendFrame(out.data(), normal.data(), alert.data(), FRAME_PIXELS, flashWeight(n));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(FRAME_PIXELS));
}

}  // namespace

BENCHMARK(frameBlend);
BENCHMARK_MAIN();
