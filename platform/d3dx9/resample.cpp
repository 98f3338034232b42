// Scaling an image to a texture of another size with a separable triangle
// (tent) filter, as D3DX_FILTER_TRIANGLE does. Taps that fall outside the
// image are left out and the rest weighted up, so the edges keep their
// brightness.
//
// The arithmetic is in integers: weights in 1/16384 that sum exactly to one,
// so a flat colour stays exactly itself. Each output row first gathers its
// source rows down (8-bit samples into 8.8 fixed point), then its pixels
// across; the first pass runs over whole rows and vectorises.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;

// The source pixels that make one output pixel along one axis.
struct Taps {
    UINT first = 0;
    std::vector<int32_t> weights; // in 1/kWeightOne, summing to kWeightOne
};

std::vector<Taps> BuildTaps(UINT source, UINT target) {
    const double scale = static_cast<double>(target) / source;
    // Reducing, the tent spans the source pixels an output pixel covers and
    // their neighbours; enlarging, it interpolates between two pixels.
    const double radius = scale < 1.0 ? 1.0 / scale : 1.0;
    std::vector<Taps> taps(target);
    std::vector<double> exact;
    for (UINT i = 0; i < target; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const double low = std::max(0.0, std::ceil(centre - radius));
        const double high = std::min(source - 1.0, std::floor(centre + radius));
        taps[i].first = static_cast<UINT>(low);
        exact.clear();
        double sum = 0.0;
        for (double j = low; j <= high; j += 1.0) {
            const double w = std::max(0.0, 1.0 - std::fabs(j - centre) / radius);
            exact.push_back(w);
            sum += w;
        }
        // The centre lies within the image and the radius is at least one
        // pixel, so some tap always has weight. What rounding leaves over
        // goes to the heaviest tap.
        int32_t total = 0;
        size_t heaviest = 0;
        for (size_t k = 0; k < exact.size(); ++k) {
            taps[i].weights.push_back(
                static_cast<int32_t>(std::lround(exact[k] / sum * kWeightOne)));
            total += taps[i].weights.back();
            if (exact[k] > exact[heaviest])
                heaviest = k;
        }
        taps[i].weights[heaviest] += kWeightOne - total;
    }
    return taps;
}

} // namespace

void CoveringSize(UINT width, UINT height, UINT coverWidth, UINT coverHeight, UINT& outWidth,
                  UINT& outHeight) {
    outWidth = width;
    outHeight = height;
    if (width <= coverWidth || height <= coverHeight || coverWidth == 0 || coverHeight == 0)
        return;
    const uint64_t w = width, h = height;
    // The side whose cover asks the larger share of it meets its cover.
    if (uint64_t{coverWidth} * h >= uint64_t{coverHeight} * w) {
        outWidth = coverWidth;
        outHeight = static_cast<UINT>((h * coverWidth + w - 1) / w);
    } else {
        outHeight = coverHeight;
        outWidth = static_cast<UINT>((w * coverHeight + h - 1) / h);
    }
}

void ResampleImage(const PixelRows& src, const PixelRows& dst) {
    const std::vector<Taps> across = BuildTaps(src.width, dst.width);
    const std::vector<Taps> down = BuildTaps(src.height, dst.height);
    const size_t rowSamples = size_t{src.width} * 4;
    std::vector<int32_t> sum(rowSamples);
    std::vector<uint16_t> gathered(rowSamples); // 8.8 fixed point
    for (UINT y = 0; y < dst.height; ++y) {
        const Taps& rows = down[y];
        for (size_t k = 0; k < rows.weights.size(); ++k) {
            const uint8_t* in = src.bits + static_cast<ptrdiff_t>(rows.first + k) * src.pitch;
            const int32_t w = rows.weights[k];
            if (k == 0) {
                for (size_t i = 0; i < rowSamples; ++i)
                    sum[i] = w * in[i];
            } else {
                for (size_t i = 0; i < rowSamples; ++i)
                    sum[i] += w * in[i];
            }
        }
        // Weights are never negative, so the sums lie within 0 and 255 ones.
        for (size_t i = 0; i < rowSamples; ++i)
            gathered[i] =
                static_cast<uint16_t>((sum[i] + (1 << (kWeightBits - 9))) >> (kWeightBits - 8));
        uint8_t* out = dst.bits + static_cast<ptrdiff_t>(y) * dst.pitch;
        for (UINT x = 0; x < dst.width; ++x, out += 4) {
            const Taps& columns = across[x];
            const uint16_t* at = gathered.data() + size_t{columns.first} * 4;
            int32_t pixel[4] = {};
            for (size_t t = 0; t < columns.weights.size(); ++t, at += 4) {
                for (int c = 0; c < 4; ++c)
                    pixel[c] += columns.weights[t] * at[c];
            }
            for (int c = 0; c < 4; ++c)
                out[c] = static_cast<uint8_t>((pixel[c] + (1 << (kWeightBits + 7))) >>
                                              (kWeightBits + 8));
        }
    }
}
