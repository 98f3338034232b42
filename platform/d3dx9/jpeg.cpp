// JPEG through TurboJPEG. D3DX reports JPEG as X8R8G8B8 (L8 for greyscale)
// and, like it, we ignore any EXIF orientation (the program turns its quad
// instead): the pixels are decoded as stored.
#include "platform/d3dx9/decoders.h"

#include <algorithm>
#include <cstring>
#include <turbojpeg.h>

namespace {

// The one warning that camera and phone JPEGs commonly raise: padding between
// segments, harmless to the image.
constexpr const char* kHarmlessWarning = "extraneous bytes before marker";

// True when an end-of-image marker follows the image's first scan: the
// entropy-coded data cannot contain one, so its presence means the decoder
// never ran out of data. Segments before the scan (EXIF with its thumbnail)
// are stepped over by their lengths.
bool ReachesEndOfImage(const std::vector<uint8_t>& data) {
    size_t at = 2;
    while (at + 4 <= data.size()) {
        const uint8_t marker = data[at + 1];
        if (data[at] != 0xFF || marker == 0xFF) {
            ++at; // stray or fill byte, skipped as the decoder skips it
            continue;
        }
        if (marker == 0xDA)
            break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2; // no length follows
            continue;
        }
        const size_t length = (size_t{data[at + 2]} << 8) | data[at + 3];
        if (length < 2)
            return false;
        at += 2 + length;
    }
    for (; at + 1 < data.size(); ++at) {
        if (data[at] == 0xFF && data[at + 1] == 0xD9)
            return true;
    }
    return false;
}

// A TurboJPEG call's result: success, or a warning that leaves the image
// whole. A file whose data ends early raises a warning too, and is refused.
bool Succeeded(tjhandle handle, int result, const std::vector<uint8_t>& data) {
    if (result == 0)
        return true;
    return tjGetErrorCode(handle) == TJERR_WARNING &&
           std::strstr(tjGetErrorStr2(handle), kHarmlessWarning) != nullptr &&
           ReachesEndOfImage(data);
}

// What the markers of a JPEG say about the cost of decoding it: the 8 × 8
// blocks its scans visit together, and whether libjpeg keeps the
// coefficients of the whole image (a progressive file, or a sequential one
// whose first scan does not hold every component) and what they take.
struct JpegCost {
    uint64_t frameBlocks = 0; // of all components together
    uint64_t scanBlocks = 0;
    uint64_t coefficientBytes = 0;
};

// Walks the markers of `data` as far as it reaches: the frame header's
// components and every scan's, stepping over entropy-coded data. False for a
// frame header that does not fit what it declares.
bool MeasureJpeg(const std::vector<uint8_t>& data, JpegCost& cost) {
    struct Component {
        uint8_t id;
        uint64_t blocks;
    };
    Component components[4] = {};
    int componentCount = 0;
    bool progressive = false;
    bool wholeImageBuffered = false;
    uint64_t frameBlocks = 0;
    int scans = 0;
    size_t at = 2;
    while (at + 4 <= data.size()) {
        const uint8_t marker = data[at + 1];
        if (data[at] != 0xFF || marker == 0xFF || marker == 0x00 || marker == 0x01 ||
            (marker >= 0xD0 && marker <= 0xD7)) {
            ++at; // fill bytes, and a scan's data with its stuffed bytes and restarts
            continue;
        }
        if (marker == 0xD9)
            break;
        const size_t length = (size_t{data[at + 2]} << 8) | data[at + 3];
        const size_t body = at + 4;
        if (length < 2)
            return false;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && componentCount == 0 && body + 6 <= data.size()) {
            const uint64_t height = uint64_t{data[body + 1]} << 8 | data[body + 2];
            const uint64_t width = uint64_t{data[body + 3]} << 8 | data[body + 4];
            componentCount = data[body + 5];
            if (componentCount < 1 || componentCount > 4 ||
                length < 8 + 3 * static_cast<size_t>(componentCount) ||
                body + 6 + 3 * static_cast<size_t>(componentCount) > data.size())
                return false;
            progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            int hMax = 1, vMax = 1;
            for (int i = 0; i < componentCount; ++i) {
                const uint8_t sampling = data[body + 7 + 3 * i];
                hMax = std::max(hMax, sampling >> 4);
                vMax = std::max(vMax, sampling & 15);
            }
            for (int i = 0; i < componentCount; ++i) {
                const uint8_t sampling = data[body + 7 + 3 * i];
                const uint64_t h = std::max(1, sampling >> 4), v = std::max(1, sampling & 15);
                const uint64_t w = (width * h + hMax - 1) / hMax,
                               ht = (height * v + vMax - 1) / vMax;
                components[i] = Component{data[body + 6 + 3 * i], ((w + 7) / 8) * ((ht + 7) / 8)};
                frameBlocks += components[i].blocks;
            }
            wholeImageBuffered = wholeImageBuffered || progressive;
        } else if (marker == 0xDA && body < data.size()) {
            const int scanComponents = data[body];
            if (scans++ == 0 && scanComponents < componentCount)
                wholeImageBuffered = true;
            for (int j = 0; j < scanComponents && body + 1 + 2 * j < data.size(); ++j) {
                for (int i = 0; i < componentCount; ++i) {
                    if (components[i].id == data[body + 1 + 2 * j])
                        cost.scanBlocks += components[i].blocks;
                }
            }
        }
        at = body + length - 2;
    }
    // Each block's 64 coefficients, two bytes each.
    cost.frameBlocks = frameBlocks;
    cost.coefficientBytes = wholeImageBuffered ? frameBlocks * 128 : 0;
    return true;
}

// True when decoding the file stays within the load's work and memory: the
// scans a progressive file may repeat without limit are counted before any
// is decoded. And a file shorter than an eighth of a byte a block cannot
// hold the image (every block codes its DC coefficient in at least one bit):
// it is refused before anything of the image's size is allocated.
bool WithinJpegBudget(const ImageBytes& bytes, uint64_t otherWorkingBytes) {
    JpegCost cost;
    return MeasureJpeg(bytes.data, cost) && cost.scanBlocks <= kMaxJpegScanBlocks &&
           cost.coefficientBytes + otherWorkingBytes <= kMaxWorkingBytes &&
           bytes.fileSize >= cost.frameBlocks / 8;
}

struct JpegHeader {
    int width = 0;
    int height = 0;
    int colorspace = 0;
};

bool ReadHeader(tjhandle handle, const std::vector<uint8_t>& data, JpegHeader& header) {
    int subsampling = 0;
    const int result = tjDecompressHeader3(handle, data.data(), data.size(), &header.width,
                                           &header.height, &subsampling, &header.colorspace);
    // A header read sees only part of the file, so only a warning about the
    // header itself may be passed over here.
    return (result == 0 || (tjGetErrorCode(handle) == TJERR_WARNING &&
                            std::strstr(tjGetErrorStr2(handle), kHarmlessWarning) != nullptr)) &&
           WithinStoredBound(D3DXIFF_JPG, static_cast<uint64_t>(header.width),
                             static_cast<uint64_t>(header.height));
}

bool IsCmyk(int colorspace) {
    return colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
}

// CMYK JPEGs come from print work; TurboJPEG gives their samples as stored,
// inverted as Adobe writes them (255 = no ink), and the naive product turns
// them into RGB.
bool DecodeCmyk(tjhandle handle, const std::vector<uint8_t>& data, const PixelRows& rows) {
    std::vector<uint8_t> cmyk(size_t{rows.width} * rows.height * 4);
    const int result =
        tjDecompress2(handle, data.data(), data.size(), cmyk.data(), static_cast<int>(rows.width),
                      0, static_cast<int>(rows.height), TJPF_CMYK, TJFLAG_LIMITSCANS);
    if (!Succeeded(handle, result, data))
        return false;
    const uint8_t* in = cmyk.data();
    for (UINT y = 0; y < rows.height; ++y) {
        uint8_t* out = rows.bits + static_cast<ptrdiff_t>(y) * rows.pitch;
        for (UINT x = 0; x < rows.width; ++x, in += 4, out += 4) {
            const unsigned k = in[3];
            out[0] = static_cast<uint8_t>((in[2] * k + 127) / 255);
            out[1] = static_cast<uint8_t>((in[1] * k + 127) / 255);
            out[2] = static_cast<uint8_t>((in[0] * k + 127) / 255);
            out[3] = 0xFF;
        }
    }
    return true;
}

// TurboJPEG's factors that reduce (at most 1), largest first.
std::vector<tjscalingfactor> ReducingFactors() {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    std::vector<tjscalingfactor> reducing;
    for (int i = 0; factors != nullptr && i < count; ++i) {
        if (factors[i].num <= factors[i].denom)
            reducing.push_back(factors[i]);
    }
    std::sort(reducing.begin(), reducing.end(), [](tjscalingfactor a, tjscalingfactor b) {
        return a.num * b.denom > b.num * a.denom;
    });
    return reducing;
}

} // namespace

JpegScale ChooseJpegScale(UINT width, UINT height, UINT coverWidth, UINT coverHeight) {
    JpegScale chosen{1, 1, width, height};
    for (const tjscalingfactor& factor : ReducingFactors()) {
        const UINT scaledWidth = static_cast<UINT>(TJSCALED(static_cast<int>(width), factor));
        const UINT scaledHeight = static_cast<UINT>(TJSCALED(static_cast<int>(height), factor));
        // Smaller factors go on while they still cover, or while the decode
        // so far would not fit the bound.
        if ((scaledWidth < coverWidth || scaledHeight < coverHeight) &&
            WithinDecodeBound(chosen.width, chosen.height))
            break;
        chosen = JpegScale{factor.num, factor.denom, scaledWidth, scaledHeight};
    }
    return chosen;
}

bool ReadJpegHeader(const ImageBytes& bytes, ImageHeader& header) {
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr)
        return false;
    JpegHeader jpeg;
    const bool ok = ReadHeader(handle, bytes.data, jpeg);
    tjDestroy(handle);
    if (!ok)
        return false;
    header.info.Width = static_cast<UINT>(jpeg.width);
    header.info.Height = static_cast<UINT>(jpeg.height);
    header.info.Format = jpeg.colorspace == TJCS_GRAY ? D3DFMT_L8 : D3DFMT_X8R8G8B8;
    header.info.ImageFileFormat = D3DXIFF_JPG;
    // The coded data at worst: a JPEG of noise at the highest quality takes
    // less than 8 bytes a pixel. A CMYK file is decoded through a copy of
    // its four samples a decoded pixel, at least those of the smallest
    // scale; the decode checks the copy at the scale it makes.
    const uint64_t pixels = uint64_t{header.info.Width} * header.info.Height;
    header.readBytes = std::min(kMaxReadBytes, pixels * 8 + kMetadataBytes);
    header.workingBytes =
        IsCmyk(jpeg.colorspace) ? pixels / (kSmallestJpegScale * kSmallestJpegScale) * 4 : 0;
    // What the part read so far shows of the scans is already within the
    // budget, or the file is refused without reading the rest.
    return WithinJpegBudget(bytes, header.workingBytes);
}

bool DecodeJpeg(const ImageBytes& bytes, const ImageHeader&, const PixelRows& rows) {
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr)
        return false;
    JpegHeader jpeg;
    bool ok = ReadHeader(handle, bytes.data, jpeg) &&
              WithinJpegBudget(
                  bytes, IsCmyk(jpeg.colorspace) ? uint64_t{rows.width} * rows.height * 4 : 0);
    if (ok) {
        // The rows' size must be one the DCT scaling gives exactly; asked
        // for it, TurboJPEG picks that factor and the inverse DCT itself
        // makes the smaller image.
        ok = false;
        for (const tjscalingfactor& factor : ReducingFactors()) {
            ok = ok || (static_cast<UINT>(TJSCALED(jpeg.width, factor)) == rows.width &&
                        static_cast<UINT>(TJSCALED(jpeg.height, factor)) == rows.height);
        }
    }
    if (ok && IsCmyk(jpeg.colorspace)) {
        ok = DecodeCmyk(handle, bytes.data, rows);
    } else if (ok) {
        // BGRA is A8R8G8B8's byte order, with alpha written as 0xFF:
        // straight into the caller's rows, whatever their pitch.
        const int result = tjDecompress2(
            handle, bytes.data.data(), bytes.data.size(), rows.bits, static_cast<int>(rows.width),
            rows.pitch, static_cast<int>(rows.height), TJPF_BGRA, TJFLAG_LIMITSCANS);
        ok = Succeeded(handle, result, bytes.data);
    }
    tjDestroy(handle);
    return ok;
}
