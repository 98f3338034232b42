// The arithmetic of the CPU compositor's blending: Direct3D 9's blend
// equation on 8-bit channels, and the program's additive crossfade in SSE2.
//
// Stage 0 multiplies the texel by the vertex colour (D3DTOP_MODULATE) and
// takes the texel's alpha; the product is rounded to 8 bits as the hardware
// does before blending. The back buffer is X8R8G8B8: its alpha reads as 1.
#include <emmintrin.h>

#include <algorithm>

#include "platform/d3d9/objects.h"

namespace {

// x × c / 255, rounded, for x and c from 0 to 255: the division by 255 done
// as (t + t / 256) / 256 with t = x × c + 128, which is exact over that range
// and is what the SIMD path computes in 16-bit lanes.
uint32_t Modulate(uint32_t x, uint32_t c) {
    const uint32_t t = x * c + 128;
    return (t + (t >> 8)) >> 8;
}

uint32_t Channel(uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

// A blend factor for one colour channel, 0 to 255.
int Factor(uint32_t blend, int source, int sourceAlpha, int destination) {
    switch (blend) {
    case D3DBLEND_ONE:
    case D3DBLEND_DESTALPHA:
        return 255;
    case D3DBLEND_SRCCOLOR:
        return source;
    case D3DBLEND_INVSRCCOLOR:
        return 255 - source;
    case D3DBLEND_SRCALPHA:
        return sourceAlpha;
    case D3DBLEND_INVSRCALPHA:
        return 255 - sourceAlpha;
    case D3DBLEND_DESTCOLOR:
        return destination;
    case D3DBLEND_INVDESTCOLOR:
        return 255 - destination;
    default: // D3DBLEND_ZERO, D3DBLEND_INVDESTALPHA
        return 0;
    }
}

} // namespace

uint32_t PackBlendStates(bool enabled, uint32_t source, uint32_t destination, uint32_t operation) {
    return enabled ? (operation << 16 | destination << 8 | source) : 0;
}

bool CpuBlendSupported(uint32_t packed) {
    if (packed == 0) {
        return true;
    }
    const uint32_t source = packed & 0xFF;
    const uint32_t destination = (packed >> 8) & 0xFF;
    const uint32_t operation = packed >> 16;
    return source >= D3DBLEND_ZERO && source <= D3DBLEND_INVDESTCOLOR &&
           destination >= D3DBLEND_ZERO && destination <= D3DBLEND_INVDESTCOLOR &&
           operation >= D3DBLENDOP_ADD && operation <= D3DBLENDOP_MAX;
}

uint32_t BlendPixel(uint32_t source, uint32_t colour, uint32_t destination, uint32_t packed,
                    uint8_t coverage) {
    const int sourceAlpha = static_cast<int>(Channel(source, 24));
    const uint32_t sourceBlend = packed & 0xFF;
    const uint32_t destinationBlend = (packed >> 8) & 0xFF;
    const uint32_t operation = packed >> 16;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int s = static_cast<int>(Modulate(Channel(source, shift), Channel(colour, shift)));
        const int d = static_cast<int>(Channel(destination, shift));
        int blended = s;
        if (packed != 0) {
            const int sf = s * Factor(sourceBlend, s, sourceAlpha, d);
            const int df = d * Factor(destinationBlend, s, sourceAlpha, d);
            switch (operation) {
            case D3DBLENDOP_SUBTRACT:
                blended = (sf - df + 127) / 255;
                break;
            case D3DBLENDOP_REVSUBTRACT:
                blended = (df - sf + 127) / 255;
                break;
            case D3DBLENDOP_MIN: // the factors play no part
                blended = std::min(s, d);
                break;
            case D3DBLENDOP_MAX:
                blended = std::max(s, d);
                break;
            default: // D3DBLENDOP_ADD
                blended = (sf + df + 127) / 255;
                break;
            }
            blended = std::clamp(blended, 0, 255);
        }
        // Partly covered pixels (at a stretched draw's edges) keep part of
        // what was there.
        const int mixed = (d * (255 - coverage) + blended * coverage + 127) / 255;
        out |= static_cast<uint32_t>(mixed) << shift;
    }
    return out;
}

void AddModulated(uint32_t* destination, const uint32_t* source, size_t count, uint32_t colour) {
    size_t i = 0;
    // Lanes of two pixels, blue, green, red, alpha each; alpha adds nothing.
    const __m128i factors = _mm_set_epi16(
        0, static_cast<short>(Channel(colour, 16)), static_cast<short>(Channel(colour, 8)),
        static_cast<short>(Channel(colour, 0)), 0, static_cast<short>(Channel(colour, 16)),
        static_cast<short>(Channel(colour, 8)), static_cast<short>(Channel(colour, 0)));
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(128);
    auto modulate = [&](__m128i wide) {
        const __m128i t = _mm_add_epi16(_mm_mullo_epi16(wide, factors), half);
        return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
    };
    for (; i + 4 <= count; i += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(destination + i));
        const __m128i low = modulate(_mm_unpacklo_epi8(s, zero));
        const __m128i high = modulate(_mm_unpackhi_epi8(s, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i),
                         _mm_adds_epu8(d, _mm_packus_epi16(low, high)));
    }
    for (; i < count; i++) {
        uint32_t out = destination[i] & 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
            const uint32_t sum = Channel(destination[i], shift) +
                                 Modulate(Channel(source[i], shift), Channel(colour, shift));
            out |= std::min(sum, 255u) << shift;
        }
        destination[i] = out;
    }
}
