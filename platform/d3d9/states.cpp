// The device's drawing state: render and sampler states, the texture of
// stage 0, the vertex stream and the vertex format. Recorded here, read by
// DrawPrimitive.
#include "platform/d3d9/objects.h"

DWORD RenderState(const Device& device, DWORD state) {
    auto found = device.renderStates.find(state);
    if (found != device.renderStates.end()) {
        return found->second;
    }
    switch (state) {
    case D3DRS_SRCBLEND:
        return D3DBLEND_ONE;
    case D3DRS_DESTBLEND:
        return D3DBLEND_ZERO;
    case D3DRS_CULLMODE:
        return D3DCULL_CCW;
    case D3DRS_BLENDOP:
        return D3DBLENDOP_ADD;
    default: // alpha blending and depth test off, and so on
        return 0;
    }
}

DWORD SamplerState(const Device& device, DWORD type) {
    auto found = device.samplerStates.find(type);
    if (found != device.samplerStates.end()) {
        return found->second;
    }
    switch (type) {
    case D3DSAMP_ADDRESSU:
    case D3DSAMP_ADDRESSV:
    case D3DSAMP_ADDRESSW:
        return D3DTADDRESS_WRAP;
    case D3DSAMP_MAGFILTER:
    case D3DSAMP_MINFILTER:
        return D3DTEXF_POINT;
    default: // no mip filter, black border
        return 0;
    }
}

// Like Direct3D's runtime, any state and any value is taken and recorded;
// what a value means is seen when drawing. The blend states are honoured
// there; D3DRS_CULLMODE is kept but every triangle is drawn whatever its
// winding (the program turns culling off; its quads are flat on the screen).
HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    renderStates[state] = value;
    return D3D_OK;
}

// One texture stage, so one sampler. Filters and addressing are honoured when
// drawing; MIPFILTER is kept and has no effect, as textures have one level.
HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler != 0) {
        return D3DERR_INVALIDCALL;
    }
    samplerStates[type] = value;
    return D3D_OK;
}

// The device holds what is bound until it is replaced or the device goes, as
// Direct3D does; null unbinds. A texture of another device cannot be bound.
HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* base) {
    if (stage != 0) {
        return D3DERR_INVALIDCALL;
    }
    // Every base texture of this layer is a 2-D texture.
    Texture* bound = static_cast<Texture*>(base);
    if (bound != nullptr && bound->device != this) {
        return D3DERR_INVALIDCALL;
    }
    if (bound != nullptr) {
        bound->holds++;
    }
    if (texture != nullptr) {
        Unhold(texture);
    }
    texture = bound;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData,
                                UINT offsetInBytes, UINT stride) {
    if (streamNumber >= caps.MaxStreams || stride > caps.MaxStreamStride) {
        return D3DERR_INVALIDCALL;
    }
    VertexBuffer* bound = static_cast<VertexBuffer*>(streamData);
    if (bound != nullptr && bound->device != this) {
        return D3DERR_INVALIDCALL;
    }
    if (bound != nullptr) {
        bound->holds++;
    }
    if (streamBuffer != nullptr) {
        Unhold(streamBuffer);
    }
    streamBuffer = bound;
    streamOffset = offsetInBytes;
    streamStride = stride;
    return D3D_OK;
}

// Any format is recorded; DrawPrimitive says which it can draw.
HRESULT Device::SetFVF(DWORD format) {
    fvf = format;
    return D3D_OK;
}
