// What the adapter offers: the capabilities of the SDL renderer a device
// draws with, reported in Direct3D 9's terms.
#include <cstring>

#include "platform/d3d9/objects.h"

namespace {

// Values of <d3d9caps.h> that only this file uses.
constexpr DWORD kMiscCullNone = 0x00000010;    // D3DPMISCCAPS_CULLNONE
constexpr DWORD kMiscBlendOp = 0x00000800;     // D3DPMISCCAPS_BLENDOP
constexpr DWORD kBlendZero = 0x00000001;       // D3DPBLENDCAPS_ZERO
constexpr DWORD kBlendOne = 0x00000002;        // D3DPBLENDCAPS_ONE
constexpr DWORD kBlendSrcColor = 0x00000004;   // D3DPBLENDCAPS_SRCCOLOR
constexpr DWORD kBlendSrcAlpha = 0x00000010;   // D3DPBLENDCAPS_SRCALPHA
constexpr DWORD kBlendInvSrcAlpha = 0x0020;    // D3DPBLENDCAPS_INVSRCALPHA
constexpr DWORD kBlendDestColor = 0x00000100;  // D3DPBLENDCAPS_DESTCOLOR
constexpr DWORD kBlendAll = 0x000003FF;        // ZERO to INVDESTCOLOR
constexpr DWORD kFilterMinPoint = 0x00000100;  // D3DPTFILTERCAPS_MINFPOINT
constexpr DWORD kFilterMinLinear = 0x0200;     // D3DPTFILTERCAPS_MINFLINEAR
constexpr DWORD kFilterMagPoint = 0x01000000;  // D3DPTFILTERCAPS_MAGFPOINT
constexpr DWORD kFilterMagLinear = 0x02000000; // D3DPTFILTERCAPS_MAGFLINEAR
constexpr DWORD kAddressClamp = 0x00000004;    // D3DPTADDRESSCAPS_CLAMP

// SDL's software renderer names no limit of its own; its textures are SDL
// surfaces, whose byte size must fit an int. 16384 is the largest power of
// two whose square of 32-bit pixels (1 GiB) still does.
constexpr DWORD kSoftwareMaxSide = 16384;

// The draw calls of Direct3D 9 hardware of the program's time.
constexpr DWORD kMaxPrimitiveCount = 0x000FFFFF;
constexpr DWORD kMaxStreamStride = 255;

// Renderers that run shaders; SDL's other accelerated renderer here
// (opengles, version 1) is fixed-function.
bool RunsShaders(const char* name) {
    return std::strcmp(name, "opengl") == 0 || std::strcmp(name, "opengles2") == 0;
}

// Whether the renderer blends with factors of its own choosing, not only
// with SDL's built-in modes (the software renderer does not).
bool BlendsCustom(SDL_Renderer* renderer) {
    SDL_BlendMode previous = SDL_BLENDMODE_NONE;
    SDL_GetRenderDrawBlendMode(renderer, &previous);
    SDL_BlendMode custom = SDL_ComposeCustomBlendMode(SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE,
                                                      SDL_BLENDOPERATION_ADD, SDL_BLENDFACTOR_ONE,
                                                      SDL_BLENDFACTOR_ONE, SDL_BLENDOPERATION_ADD);
    bool supported = SDL_SetRenderDrawBlendMode(renderer, custom) == 0;
    SDL_SetRenderDrawBlendMode(renderer, previous);
    return supported;
}

} // namespace

SDL_Renderer* CreateSdlRenderer(SDL_Window* window, bool vsync) {
    Uint32 flags = SDL_RENDERER_TARGETTEXTURE | (vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    return SDL_CreateRenderer(window, -1, flags);
}

void FillCaps(SDL_Renderer* renderer, D3DCAPS9& caps) {
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    caps = D3DCAPS9{};
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    // A renderer on the graphics card transforms on it; the software
    // renderer is what a card without transform and lighting is to the
    // program, and gets its warnings.
    if (info.flags & SDL_RENDERER_ACCELERATED) {
        caps.DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    }
    if ((info.flags & SDL_RENDERER_ACCELERATED) && RunsShaders(info.name)) {
        caps.VertexShaderVersion = D3DVS_VERSION(2, 0);
        caps.PixelShaderVersion = D3DPS_VERSION(2, 0);
    }
    caps.PrimitiveMiscCaps = kMiscCullNone;
    if (BlendsCustom(renderer)) {
        caps.PrimitiveMiscCaps |= kMiscBlendOp;
        caps.SrcBlendCaps = kBlendAll;
        caps.DestBlendCaps = kBlendAll;
    } else {
        // The factors of SDL's built-in modes: none, blend, add, mod, mul.
        caps.SrcBlendCaps = kBlendZero | kBlendOne | kBlendSrcAlpha | kBlendDestColor;
        caps.DestBlendCaps = kBlendZero | kBlendOne | kBlendInvSrcAlpha | kBlendSrcColor;
    }
    // Any size up to the maximum: D3DPTEXTURECAPS_POW2 is not set.
    caps.TextureCaps = 0;
    caps.TextureFilterCaps =
        kFilterMinPoint | kFilterMinLinear | kFilterMagPoint | kFilterMagLinear;
    caps.TextureAddressCaps = kAddressClamp;
    caps.MaxTextureWidth = info.max_texture_width > 0 ? info.max_texture_width : kSoftwareMaxSide;
    caps.MaxTextureHeight =
        info.max_texture_height > 0 ? info.max_texture_height : kSoftwareMaxSide;
    caps.MaxPrimitiveCount = kMaxPrimitiveCount;
    caps.MaxStreams = 1;
    caps.MaxStreamStride = kMaxStreamStride;
}

bool ProbeCaps(D3DCAPS9& caps, bool& software) {
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1,
                                          1, SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        return false;
    }
    SDL_Renderer* renderer = CreateSdlRenderer(window, true);
    if (renderer != nullptr) {
        FillCaps(renderer, caps);
        software = SoftwareRendering(renderer);
        SDL_DestroyRenderer(renderer);
    }
    SDL_DestroyWindow(window);
    return renderer != nullptr;
}
