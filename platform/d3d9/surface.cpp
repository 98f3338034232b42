// Surfaces: level 0 of a texture, or the device's back buffer. A surface
// belongs to its container and counts its references there, as Direct3D's
// container surfaces do: holding the surface holds the texture (or device).
#include "platform/d3d9/objects.h"

ULONG Surface::AddRef() {
    return container->AddRef();
}

ULONG Surface::Release() {
    return container->Release();
}

HRESULT Surface::GetDevice(IDirect3DDevice9** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    device->AddRef();
    *out = device;
    return D3D_OK;
}

D3DRESOURCETYPE Surface::GetType() {
    return D3DRTYPE_SURFACE;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = desc;
    return D3D_OK;
}

// Through the texture, as level 0. The back buffer is not lockable (no
// D3DPRESENTFLAG_LOCKABLE_BACKBUFFER), so Direct3D refuses it.
HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    if (texture == nullptr) {
        if (lockedRect != nullptr) {
            *lockedRect = D3DLOCKED_RECT{};
        }
        return D3DERR_INVALIDCALL;
    }
    return texture->LockRect(0, lockedRect, rect, flags);
}

HRESULT Surface::UnlockRect() {
    if (texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    return texture->UnlockRect(0);
}
