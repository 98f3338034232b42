// One frame of the show: the current and the next image added together over
// black, each scaled by its grey vertex colour.
#include "render/crossfade.h"

#include <cstddef>
#include <cstring>

#include "app/clock.h"
#include "render/device.h"
#include "render/slides.h"

namespace {

// 0xFF000000 + w * 0x010101 for the low 8 bits of `weight`.
D3DCOLOR GreyFor(int32_t weight) {
    const DWORD w = static_cast<DWORD>(weight) & 0xFFu;
    return 0xFF000000u + w * 0x010101u;
}

// Writes `color` into the diffuse field of the slide's four vertices. False
// when the slide has no quad or its buffer cannot be locked: there is then
// nothing to draw from.
bool WriteQuadColor(const Slide& slide, D3DCOLOR color) {
    if (slide.vertexBuffer == nullptr) {
        return false;
    }
    void* data = nullptr;
    if (slide.vertexBuffer->Lock(0, quadBytes, &data, 0) != D3D_OK || data == nullptr) {
        return false;
    }
    unsigned char* bytes = static_cast<unsigned char*>(data);
    for (size_t i = 0; i < 4; ++i) {
        std::memcpy(bytes + i * sizeof(SlideVertex) + offsetof(SlideVertex, diffuse), &color,
                    sizeof color);
    }
    slide.vertexBuffer->Unlock();
    return true;
}

// Binds the slide's texture (an empty reference leaves the stage without a
// texture) and draws its quad as a strip of two triangles.
void DrawSlide(const Slide& slide) {
    device->SetTexture(0, slide.texture);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetStreamSource(0, slide.vertexBuffer, 0, sizeof(SlideVertex));
    device->SetFVF(slideVertexFormat);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
}

} // namespace

void SetCrossfadeStates() {
    // Additive blending: each image adds its weighted colour to the black
    // background, and the two weights never sum past full intensity.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

CrossfadeColors CrossfadeColorsFor(float fadeFactor) {
    // The complement is formed first, in single precision, and the products
    // are truncated, not rounded: at 0.5 both weights are 127.
    const float complement = 1.0f - fadeFactor;
    CrossfadeColors colors;
    colors.current = GreyFor(TruncateToInt32(complement * 255.0f));
    colors.next = GreyFor(TruncateToInt32(fadeFactor * 255.0f));
    return colors;
}

void DrawCrossfadeFrame(float fadeFactor) {
    const CrossfadeColors colors = CrossfadeColorsFor(fadeFactor);
    const bool drawCurrent = WriteQuadColor(currentSlide, colors.current);
    const bool drawNext = WriteQuadColor(nextSlide, colors.next);

    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    if (drawCurrent) {
        DrawSlide(currentSlide);
    }
    if (drawNext) {
        DrawSlide(nextSlide);
    }
    device->EndScene();
    // The whole back buffer, stretched over the whole client area.
    device->Present(nullptr, nullptr, nullptr, nullptr);
}
