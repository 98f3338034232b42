// The fit of an image into the window, in back-buffer pixels.
#include "render/slides.h"

// The back buffer is stretched over the whole client area, so the quad is
// sized in back-buffer pixels such that, once stretched, it shows the image
// with its own proportions, as large as the client area allows, centred.
// Every step is a single-precision operation, rounded as it goes: the same
// numbers give the same edges on every platform.
QuadEdges FitQuadEdges(UINT imageWidth, UINT imageHeight, int32_t clientWidth, int32_t clientHeight,
                       int32_t backWidth, int32_t backHeight) {
    const float w = static_cast<float>(imageWidth);
    const float h = static_cast<float>(imageHeight);
    const float cw = static_cast<float>(clientWidth);
    const float ch = static_cast<float>(clientHeight);
    const float bw = static_cast<float>(backWidth);
    const float bh = static_cast<float>(backHeight);

    const float imageAspect = w / h;
    const float clientAspect = cw / ch;

    // Equal ratios fit the width; a ratio that is not a number (an empty
    // client area) fails the comparison and fits the height.
    float fittedWidth;
    float fittedHeight;
    if (clientAspect <= imageAspect) {
        fittedWidth = cw;
        fittedHeight = cw / imageAspect;
    } else {
        fittedWidth = imageAspect * ch;
        fittedHeight = ch;
    }

    // Right and bottom mirror left and top about the back buffer's middle.
    QuadEdges edges;
    const float quadWidth = (fittedWidth / cw) * bw;
    edges.left = (bw - quadWidth) * 0.5f;
    edges.right = bw - edges.left;
    const float quadHeight = (fittedHeight / ch) * bh;
    edges.top = (bh - quadHeight) * 0.5f;
    edges.bottom = bh - edges.top;
    return edges;
}
