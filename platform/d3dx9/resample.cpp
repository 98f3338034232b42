// Scaling an image to a texture of another size with a separable triangle
// (tent) filter, as D3DX_FILTER_TRIANGLE does. Taps that fall outside the
// image are left out and the rest weighted up, so the edges keep their
// brightness.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <cmath>

namespace {

// The source pixels that make one output pixel along one axis.
struct Taps {
    UINT first = 0;
    std::vector<float> weights;
};

std::vector<Taps> BuildTaps(UINT source, UINT target) {
    const double scale = static_cast<double>(target) / source;
    // Reducing, the tent spans the source pixels an output pixel covers and
    // their neighbours; enlarging, it interpolates between two pixels.
    const double radius = scale < 1.0 ? 1.0 / scale : 1.0;
    std::vector<Taps> taps(target);
    for (UINT i = 0; i < target; ++i) {
        const double centre = (i + 0.5) / scale - 0.5;
        const double low = std::max(0.0, std::ceil(centre - radius));
        const double high = std::min(source - 1.0, std::floor(centre + radius));
        taps[i].first = static_cast<UINT>(low);
        double sum = 0.0;
        for (double j = low; j <= high; j += 1.0) {
            const double w = std::max(0.0, 1.0 - std::fabs(j - centre) / radius);
            taps[i].weights.push_back(static_cast<float>(w));
            sum += w;
        }
        // The centre lies within the image and the radius is at least one
        // pixel, so some tap always has weight.
        for (float& w : taps[i].weights)
            w = static_cast<float>(w / sum);
    }
    return taps;
}

} // namespace

void ResampleImage(const PixelRows& src, const PixelRows& dst) {
    const std::vector<Taps> across = BuildTaps(src.width, dst.width);
    const std::vector<Taps> down = BuildTaps(src.height, dst.height);
    size_t window = 1;
    for (const Taps& t : down)
        window = std::max(window, t.weights.size());
    // Source rows filtered across, kept for as long as the output rows that
    // use them: row j lives in slot j % window.
    const size_t rowFloats = size_t{dst.width} * 4;
    std::vector<float> filtered(window * rowFloats);
    std::vector<int64_t> slotRow(window, -1);
    std::vector<float> sum(rowFloats);
    for (UINT y = 0; y < dst.height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (size_t k = 0; k < down[y].weights.size(); ++k) {
            const UINT j = down[y].first + static_cast<UINT>(k);
            float* row = filtered.data() + (j % window) * rowFloats;
            if (slotRow[j % window] != j) {
                const uint8_t* in = src.bits + static_cast<ptrdiff_t>(j) * src.pitch;
                for (UINT x = 0; x < dst.width; ++x) {
                    float px[4] = {};
                    for (size_t t = 0; t < across[x].weights.size(); ++t) {
                        const uint8_t* p = in + (size_t{across[x].first} + t) * 4;
                        for (int c = 0; c < 4; ++c)
                            px[c] += across[x].weights[t] * p[c];
                    }
                    std::copy(px, px + 4, row + size_t{x} * 4);
                }
                slotRow[j % window] = j;
            }
            const float w = down[y].weights[k];
            for (size_t i = 0; i < rowFloats; ++i)
                sum[i] += w * row[i];
        }
        uint8_t* out = dst.bits + static_cast<ptrdiff_t>(y) * dst.pitch;
        for (size_t i = 0; i < rowFloats; ++i)
            out[i] = static_cast<uint8_t>(std::clamp(std::floor(sum[i] + 0.5f), 0.0f, 255.0f));
    }
}
