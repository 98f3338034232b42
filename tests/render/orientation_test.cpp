// Photos shown upright: the EXIF Orientation tag read from JPEG files our
// test code writes, and what each orientation does to a slide's quad.
#include <array>
#include <cstring>

#include "render/orientation.h"
#include "render_test.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, unsigned value, bool bigEndian) {
    const uint8_t hi = static_cast<uint8_t>(value >> 8), lo = static_cast<uint8_t>(value);
    out.insert(out.end(), bigEndian ? std::initializer_list<uint8_t>{hi, lo}
                                    : std::initializer_list<uint8_t>{lo, hi});
}

void Put32(Bytes& out, uint32_t value, bool bigEndian) {
    Put16(out, bigEndian ? value >> 16 : value & 0xFFFF, bigEndian);
    Put16(out, bigEndian ? value & 0xFFFF : value >> 16, bigEndian);
}

// A TIFF block whose IFD0 holds a resolution entry and then the orientation
// entry (tag 0x0112, SHORT, count 1).
Bytes Tiff(unsigned orientation, bool bigEndian, unsigned type = 3, uint32_t count = 1) {
    Bytes tiff = bigEndian ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
    Put16(tiff, 42, bigEndian);
    Put32(tiff, 8, bigEndian);
    Put16(tiff, 2, bigEndian);
    for (const unsigned tag : {0x011Au, 0x0112u}) {
        Put16(tiff, tag, bigEndian);
        Put16(tiff, tag == 0x0112 ? type : 5, bigEndian);
        Put32(tiff, tag == 0x0112 ? count : 1, bigEndian);
        Put16(tiff, tag == 0x0112 ? orientation : 0, bigEndian);
        Put16(tiff, 0, bigEndian);
    }
    Put32(tiff, 0, bigEndian);
    return tiff;
}

Bytes Segment(uint8_t marker, const Bytes& body) {
    Bytes out = {0xFF, marker};
    Put16(out, static_cast<unsigned>(body.size() + 2), true);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes ExifSegment(const Bytes& tiff) {
    Bytes body = {'E', 'x', 'i', 'f', 0, 0};
    body.insert(body.end(), tiff.begin(), tiff.end());
    return Segment(0xE1, body);
}

// SOI, the given segments, then the start of a scan.
Bytes Jpeg(std::initializer_list<Bytes> segments) {
    Bytes out = {0xFF, 0xD8};
    for (const Bytes& segment : segments) {
        out.insert(out.end(), segment.begin(), segment.end());
    }
    const Bytes scan = Segment(0xDA, Bytes(10, 0));
    out.insert(out.end(), scan.begin(), scan.end());
    return out;
}

TEST(TiffOrientation, BothByteOrdersAndDamagedBlocks) {
    for (const bool bigEndian : {true, false}) {
        for (unsigned value = 1; value <= 8; ++value) {
            const Bytes tiff = Tiff(value, bigEndian);
            EXPECT_EQ(TiffOrientation(tiff.data(), tiff.size()), static_cast<int>(value));
        }
    }
    const Bytes good = Tiff(6, true);
    struct Case {
        const char* what;
        Bytes tiff;
    } cases[] = {
        {"value 0", Tiff(0, true)},
        {"value 9", Tiff(9, false)},
        {"LONG instead of SHORT", Tiff(6, true, 4)},
        {"count of two", Tiff(6, true, 3, 2)},
        {"cut in the orientation entry", Bytes(good.begin(), good.begin() + 30)},
        {"cut in the header", Bytes(good.begin(), good.begin() + 7)},
        {"no byte order mark",
         [&] {
             Bytes t = good;
             t[0] = 'X';
             return t;
         }()},
        {"IFD beyond the block",
         [&] {
             Bytes t = good;
             t[4] = 0xFF;
             return t;
         }()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TiffOrientation(c.tiff.data(), c.tiff.size()), 1) << c.what;
    }
}

class OrientationFile : public RenderTest {
  protected:
    // Writes `bytes` as a file of the folder and reads its orientation
    // through the playlist's Windows-style path.
    int OrientationOf(const Bytes& bytes) {
        std::ofstream(folder + "/photo.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return ReadImageOrientation(PathOf("PHOTO.JPG").c_str());
    }
};

TEST_F(OrientationFile, FoundAmongTheSegmentsBeforeTheScan) {
    const Bytes jfif = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    const Bytes xmp = Segment(0xE1, {'h', 't', 't', 'p', ':', '/', '/'});
    EXPECT_EQ(OrientationOf(Jpeg({ExifSegment(Tiff(6, true))})), 6);
    EXPECT_EQ(OrientationOf(Jpeg({jfif, xmp, ExifSegment(Tiff(8, false))})), 8);
    EXPECT_EQ(OrientationOf(Jpeg({jfif})), 1);
    // EXIF after the scan has begun is not metadata of the picture.
    Bytes late = Jpeg({jfif});
    const Bytes exif = ExifSegment(Tiff(3, true));
    late.insert(late.end(), exif.begin(), exif.end());
    EXPECT_EQ(OrientationOf(late), 1);
    // A segment longer than the file, a PNG, an empty file.
    Bytes cut = Jpeg({ExifSegment(Tiff(6, true))});
    cut.resize(20);
    EXPECT_EQ(OrientationOf(cut), 1);
    EXPECT_EQ(OrientationOf({0x89, 'P', 'N', 'G', 0xFF, 0xE1}), 1);
    EXPECT_EQ(OrientationOf({}), 1);
    EXPECT_EQ(ReadImageOrientation(PathOf("missing.jpg").c_str()), 1);
}

// An upright picture of 1200 x 1600 stored as 1600 x 1200 and turned or
// mirrored back by its tag: the quad is fitted as a portrait, and each shown
// corner takes the stored corner the orientation puts there.
TEST_F(OrientationFile, EachTurnsTheQuadsTextureAndFitsItsShownSides) {
    device = fake::NewDevice();
    CreateSlideQuad(nextSlide);
    // Stored corners as (u, v) for shown top-left, top-right, bottom-left,
    // bottom-right.
    const std::array<std::array<float, 8>, 9> corners = {{
        {0, 0, 1, 0, 0, 1, 1, 1}, // no tag
        {0, 0, 1, 0, 0, 1, 1, 1},
        {1, 0, 0, 0, 1, 1, 0, 1},
        {1, 1, 0, 1, 1, 0, 0, 0},
        {0, 1, 1, 1, 0, 0, 1, 0},
        {0, 0, 0, 1, 1, 0, 1, 1},
        {0, 1, 0, 0, 1, 1, 1, 0},
        {1, 1, 1, 0, 0, 1, 0, 0},
        {1, 0, 1, 1, 0, 0, 0, 1},
    }};
    for (int orientation = 0; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const Bytes jpeg =
            orientation == 0 ? Jpeg({}) : Jpeg({ExifSegment(Tiff(orientation, true))});
        std::ofstream(folder + "/good_1600x1200.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
        BuildPlaylist();
        LoadNextSlide();
        ASSERT_TRUE(nextSlide.loaded);
        SlideVertex quad[4];
        std::memcpy(quad, fake::BytesOf(nextSlide.vertexBuffer), quadBytes);
        const bool portrait = orientation >= 5;
        EXPECT_EQ(quad[0].x, portrait ? 480.0f : 106.666626f);
        EXPECT_EQ(quad[3].x, portrait ? 1440.0f : 1813.3334f);
        EXPECT_EQ(quad[0].y, 0.0f);
        EXPECT_EQ(quad[3].y, 1200.0f);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(quad[i].u, corners[orientation][2 * i]) << "corner " << i;
            EXPECT_EQ(quad[i].v, corners[orientation][2 * i + 1]) << "corner " << i;
        }
        // The orientation moves with the image to the current slide.
        AdvanceSlide();
        EXPECT_EQ(currentSlide.orientation, orientation == 0 ? 1 : orientation);
    }
    EXPECT_TRUE(fake::faults.empty()) << ::testing::PrintToString(fake::faults);
}

} // namespace
