// Direct3D's blend render states as an SDL blend mode.
//
// Direct3D 9 blends every channel with D3DRS_SRCBLEND, D3DRS_DESTBLEND and
// D3DRS_BLENDOP while D3DRS_ALPHABLENDENABLE is on. The back buffer is
// X8R8G8B8, so only the colour channels matter. In order of preference:
// 1. SDL's built-in mode whose colour equation is exactly the state's;
// 2. the state composed as an SDL custom mode (renderers that run shaders);
// 3. where the renderer offers no custom modes (the software renderer), the
//    built-in mode that gives the same colours for opaque sources: the
//    program's images are opaque, and stage 0 takes the texture's alpha.
//    ONE/ONE, the program's additive crossfade, becomes SDL_BLENDMODE_ADD
//    (source × source alpha + destination), drawn from the texture's opaque
//    copy (see Texture::opaqueTexture), so that alpha plays no part, as in
//    Direct3D.
// States none of these comes near draw nothing (DrawPrimitive fails).
#include "platform/d3d9/objects.h"

namespace {

bool ToFactor(DWORD blend, SDL_BlendFactor& factor) {
    switch (blend) {
    case D3DBLEND_ZERO:
        factor = SDL_BLENDFACTOR_ZERO;
        return true;
    case D3DBLEND_ONE:
        factor = SDL_BLENDFACTOR_ONE;
        return true;
    case D3DBLEND_SRCCOLOR:
        factor = SDL_BLENDFACTOR_SRC_COLOR;
        return true;
    case D3DBLEND_INVSRCCOLOR:
        factor = SDL_BLENDFACTOR_ONE_MINUS_SRC_COLOR;
        return true;
    case D3DBLEND_SRCALPHA:
        factor = SDL_BLENDFACTOR_SRC_ALPHA;
        return true;
    case D3DBLEND_INVSRCALPHA:
        factor = SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA;
        return true;
    case D3DBLEND_DESTALPHA:
        factor = SDL_BLENDFACTOR_DST_ALPHA;
        return true;
    case D3DBLEND_INVDESTALPHA:
        factor = SDL_BLENDFACTOR_ONE_MINUS_DST_ALPHA;
        return true;
    case D3DBLEND_DESTCOLOR:
        factor = SDL_BLENDFACTOR_DST_COLOR;
        return true;
    case D3DBLEND_INVDESTCOLOR:
        factor = SDL_BLENDFACTOR_ONE_MINUS_DST_COLOR;
        return true;
    default:
        return false;
    }
}

bool ToOperation(DWORD op, SDL_BlendOperation& operation) {
    switch (op) {
    case D3DBLENDOP_ADD:
        operation = SDL_BLENDOPERATION_ADD;
        return true;
    case D3DBLENDOP_SUBTRACT:
        operation = SDL_BLENDOPERATION_SUBTRACT;
        return true;
    case D3DBLENDOP_REVSUBTRACT:
        operation = SDL_BLENDOPERATION_REV_SUBTRACT;
        return true;
    case D3DBLENDOP_MIN:
        operation = SDL_BLENDOPERATION_MINIMUM;
        return true;
    case D3DBLENDOP_MAX:
        operation = SDL_BLENDOPERATION_MAXIMUM;
        return true;
    default:
        return false;
    }
}

SDL_BlendMode ExactBuiltIn(DWORD src, DWORD dst, DWORD op) {
    if (op != D3DBLENDOP_ADD) {
        return SDL_BLENDMODE_INVALID;
    }
    if (src == D3DBLEND_ONE && dst == D3DBLEND_ZERO) {
        return SDL_BLENDMODE_NONE;
    }
    if (src == D3DBLEND_SRCALPHA && dst == D3DBLEND_INVSRCALPHA) {
        return SDL_BLENDMODE_BLEND;
    }
    if (src == D3DBLEND_SRCALPHA && dst == D3DBLEND_ONE) {
        return SDL_BLENDMODE_ADD;
    }
    if ((src == D3DBLEND_ZERO && dst == D3DBLEND_SRCCOLOR) ||
        (src == D3DBLEND_DESTCOLOR && dst == D3DBLEND_ZERO)) {
        return SDL_BLENDMODE_MOD;
    }
    if (src == D3DBLEND_DESTCOLOR && dst == D3DBLEND_INVSRCALPHA) {
        return SDL_BLENDMODE_MUL;
    }
    return SDL_BLENDMODE_INVALID;
}

SDL_BlendMode Custom(DWORD src, DWORD dst, DWORD op) {
    SDL_BlendFactor srcFactor;
    SDL_BlendFactor dstFactor;
    SDL_BlendOperation operation;
    if (!ToFactor(src, srcFactor) || !ToFactor(dst, dstFactor) || !ToOperation(op, operation)) {
        return SDL_BLENDMODE_INVALID;
    }
    // MIN and MAX ignore the factors, in Direct3D as in OpenGL.
    if (op == D3DBLENDOP_MIN || op == D3DBLENDOP_MAX) {
        srcFactor = SDL_BLENDFACTOR_ONE;
        dstFactor = SDL_BLENDFACTOR_ONE;
    }
    return SDL_ComposeCustomBlendMode(srcFactor, dstFactor, operation, srcFactor, dstFactor,
                                      operation);
}

SDL_BlendMode NearForOpaque(DWORD src, DWORD dst, DWORD op) {
    if (op != D3DBLENDOP_ADD) {
        return SDL_BLENDMODE_INVALID;
    }
    if (src == D3DBLEND_ONE && dst == D3DBLEND_ONE) {
        return SDL_BLENDMODE_ADD;
    }
    if (src == D3DBLEND_ONE && dst == D3DBLEND_INVSRCALPHA) {
        return SDL_BLENDMODE_BLEND;
    }
    return SDL_BLENDMODE_INVALID;
}

} // namespace

bool BlendReadsSourceAlpha(const Device& device) {
    if (!RenderState(device, D3DRS_ALPHABLENDENABLE)) {
        return false;
    }
    for (DWORD factor :
         {RenderState(device, D3DRS_SRCBLEND), RenderState(device, D3DRS_DESTBLEND)}) {
        if (factor == D3DBLEND_SRCALPHA || factor == D3DBLEND_INVSRCALPHA) {
            return true;
        }
    }
    return false;
}

bool ApplyBlendStates(const Device& device, SDL_Texture* texture) {
    SDL_BlendMode candidates[3] = {SDL_BLENDMODE_NONE, SDL_BLENDMODE_INVALID,
                                   SDL_BLENDMODE_INVALID};
    if (RenderState(device, D3DRS_ALPHABLENDENABLE)) {
        const DWORD src = RenderState(device, D3DRS_SRCBLEND);
        const DWORD dst = RenderState(device, D3DRS_DESTBLEND);
        const DWORD op = RenderState(device, D3DRS_BLENDOP);
        candidates[0] = ExactBuiltIn(src, dst, op);
        candidates[1] = Custom(src, dst, op);
        candidates[2] = NearForOpaque(src, dst, op);
    }
    for (SDL_BlendMode mode : candidates) {
        if (mode == SDL_BLENDMODE_INVALID) {
            continue;
        }
        int set = texture != nullptr ? SDL_SetTextureBlendMode(texture, mode)
                                     : SDL_SetRenderDrawBlendMode(device.renderer, mode);
        if (set == 0) {
            return true;
        }
    }
    return false;
}
