#pragma once
// The checkered 16x16 ARGB texture the render benchmarks draw with: one
// pattern per seed, with the alpha the caller picks so blending shows.
#include <cstdint>
#include <vector>

#include "Rendering/Common/RenderMachine.h"

constexpr int kTextureSize = 16;

inline void fillCheckerTexture(Vexa::Texture& texture, int seed, uint8_t alpha) {
    std::vector<uint8_t> pixels(kTextureSize * kTextureSize * 4);
    for (int y = 0; y < kTextureSize; ++y)
        for (int x = 0; x < kTextureSize; ++x) {
            uint8_t* p = &pixels[(y * kTextureSize + x) * 4];
            const bool check = ((x >> 2) ^ (y >> 2) ^ seed) & 1;
            p[0] = check ? 255 : 40;
            p[1] = uint8_t(x * 16);
            p[2] = uint8_t(y * 16);
            p[3] = alpha;
        }
    texture.update(pixels.data());
}
