// Vertex buffers: bytes in system memory, written through Lock and read by
// DrawPrimitive. Every pool is kept in system memory alike.
#include <new>

#include "platform/d3d9/objects.h"

namespace {
// D3DFMT_VERTEXDATA, the format a vertex buffer reports.
constexpr D3DFORMAT kVertexData = static_cast<D3DFORMAT>(100);
} // namespace

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD format, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** out, HANDLE* sharedHandle) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = nullptr;
    // Shared resources belong to Direct3D 9Ex; scratch is for textures; a
    // dynamic buffer cannot be managed.
    if (sharedHandle != nullptr || length == 0 || pool > D3DPOOL_SYSTEMMEM ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)) {
        return D3DERR_INVALIDCALL;
    }
    VertexBuffer* buffer = new VertexBuffer;
    try {
        buffer->bytes.assign(length, 0);
    } catch (const std::bad_alloc&) {
        delete buffer;
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    buffer->device = this;
    AddRef();
    buffer->desc.Format = kVertexData;
    buffer->desc.Type = D3DRTYPE_VERTEXBUFFER;
    buffer->desc.Usage = usage;
    buffer->desc.Pool = pool;
    buffer->desc.Size = length;
    buffer->desc.FVF = format;
    *out = buffer;
    return D3D_OK;
}

ULONG VertexBuffer::AddRef() {
    return ++refs;
}

ULONG VertexBuffer::Release() {
    return ReleaseResource(this);
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    device->AddRef();
    *out = device;
    return D3D_OK;
}

D3DRESOURCETYPE VertexBuffer::GetType() {
    return D3DRTYPE_VERTEXBUFFER;
}

// Gives write access to `sizeToLock` bytes from `offsetToLock`; a size of 0
// runs to the end of the buffer. A range past the end, or a second lock
// before Unlock, is refused and hands out no pointer. The lock flags ask
// nothing of memory that is never in use by a graphics card.
HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD) {
    if (data == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *data = nullptr;
    const uint64_t end =
        sizeToLock == 0 ? uint64_t{desc.Size} : uint64_t{offsetToLock} + uint64_t{sizeToLock};
    if (locked || offsetToLock >= desc.Size || end > desc.Size) {
        return D3DERR_INVALIDCALL;
    }
    locked = true;
    *data = bytes.data() + offsetToLock;
    return D3D_OK;
}

HRESULT VertexBuffer::Unlock() {
    if (!locked) {
        return D3DERR_INVALIDCALL;
    }
    locked = false;
    return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* out) {
    if (out == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *out = desc;
    return D3D_OK;
}
