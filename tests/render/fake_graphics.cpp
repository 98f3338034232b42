// Recording fakes of Direct3D 9, D3DX 9 and the two user32 calls of the
// rendering code. Image files are real (empty) files in a temp folder; what
// they hold is decided by their names:
//   good_<W>x<H>.<ext>   a plain 2-D image of W x H pixels (640 x 480 without size)
//   cube*.<ext>          a cube map, volume*.<ext> a volume
//   nodecode*.<ext>      a header that reads, pixels that do not decode
//   anything else        not an image D3DX knows
// A path whose file does not exist fails both calls.
#include "fake_graphics.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "platform/kernel32/paths.h"

namespace fake {

Script script;
std::vector<std::string> calls;
std::vector<std::string> faults;
std::vector<std::unique_ptr<Object>> objects;
std::vector<ShownBox> messageBoxes;
D3DPRESENT_PARAMETERS lastPresentParameters;

namespace {

int textureCount = 0;
int headerReads = 0;
int vertexBufferCount = 0;

struct Hex {
    DWORD value;
};

std::string Text(uint32_t value) {
    return std::to_string(value);
}
std::string Text(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(value));
    return buffer;
}
std::string Text(Hex hex) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(hex.value));
    return buffer;
}
std::string Text(const std::string& text) {
    return text;
}
std::string Text(const char* text) {
    return text == nullptr ? "null" : text;
}
std::string Text(IUnknown* object) {
    return NameOf(object);
}
std::string Text(HWND handle) {
    if (handle == nullptr) {
        return "null";
    }
    return handle == window ? "window" : "other-window";
}
std::string Text(const void* pointer) {
    return pointer == nullptr ? "null" : "given";
}

template <typename... Args> std::string Format(const std::string& what, const Args&... args) {
    std::string text = what + "(";
    std::string separator;
    ((text += separator + Text(args), separator = ","), ...);
    return text + ")";
}

void Unexpected(const std::string& call) {
    calls.push_back(call);
    faults.push_back("unexpected call: " + call);
}

template <typename Interface> struct Counted : Interface, Object {
    ULONG STDMETHODCALLTYPE AddRef() override {
        Called(name + ".AddRef()");
        return static_cast<ULONG>(++refs);
    }
    ULONG STDMETHODCALLTYPE Release() override {
        Called(name + ".Release()");
        if (refs <= 0) {
            return 0;
        }
        if (--refs == 0) {
            ++timesReachedZero;
        }
        return static_cast<ULONG>(refs);
    }
};

template <typename Interface> struct Resource : Counted<Interface> {
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override {
        Unexpected(this->name + ".GetDevice");
        return D3DERR_INVALIDCALL;
    }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override {
        Unexpected(this->name + ".GetType");
        return D3DRTYPE_SURFACE;
    }
};

template <typename T> T* Make(const std::string& name) {
    auto object = std::make_unique<T>();
    object->name = name;
    T* raw = object.get();
    objects.push_back(std::move(object));
    return raw;
}

// Checks that an object handed to the device is still alive.
void CheckAlive(IUnknown* object, const std::string& call) {
    Object* target = ObjectOf(object);
    if (target != nullptr && target->refs <= 0) {
        faults.push_back("released object used: " + call);
    }
}

} // namespace

void Object::Called(const std::string& call) {
    calls.push_back(call);
    if (refs <= 0) {
        faults.push_back("call on released object: " + call);
    }
}

struct Surface : Resource<IDirect3DSurface9> {
    D3DSURFACE_DESC desc = {};
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* out) override {
        Called(name + ".GetDesc()");
        *out = desc;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override {
        Unexpected(name + ".LockRect");
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect() override {
        Unexpected(name + ".UnlockRect");
        return D3DERR_INVALIDCALL;
    }
};

struct Texture : Resource<IDirect3DTexture9> {
    std::string file;
    int number = 0;
    UINT width = 0; // texture size: the image's, rounded up to powers of two
    UINT height = 0;
    DWORD STDMETHODCALLTYPE GetLevelCount() override {
        Unexpected(name + ".GetLevelCount");
        return 1;
    }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT, D3DSURFACE_DESC*) override {
        Unexpected(name + ".GetLevelDesc");
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface9** out) override {
        Called(Format(name + ".GetSurfaceLevel", level));
        if (script.surfaceLevelFails) {
            return D3DERR_INVALIDCALL;
        }
        Surface* surface = Make<Surface>("surf" + std::to_string(number));
        surface->desc.Format = D3DFMT_X8R8G8B8;
        surface->desc.Type = D3DRTYPE_SURFACE;
        surface->desc.Pool = D3DPOOL_MANAGED;
        surface->desc.Width = width;
        surface->desc.Height = height;
        *out = surface;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRect(UINT, D3DLOCKED_RECT*, const RECT*, DWORD) override {
        Unexpected(name + ".LockRect");
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT) override {
        Unexpected(name + ".UnlockRect");
        return D3DERR_INVALIDCALL;
    }
};

struct VertexBuffer : Resource<IDirect3DVertexBuffer9> {
    unsigned char bytes[112];
    bool locked = false;
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        Called(Format(name + ".Lock", offset, size, Hex{flags}));
        if (failNext || locked || offset + size > sizeof bytes) {
            return D3DERR_INVALIDCALL;
        }
        locked = true;
        *data = bytes + offset;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        Called(name + ".Unlock()");
        if (!locked) {
            faults.push_back(name + " unlocked without a lock");
        }
        locked = false;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC*) override {
        Unexpected(name + ".GetDesc");
        return D3DERR_INVALIDCALL;
    }
};

struct Device : Counted<IDirect3DDevice9> {
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D9**) override {
        Unexpected("device.GetDirect3D");
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9*) override {
        Unexpected("device.GetDeviceCaps");
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE,
                                            IDirect3DSurface9**) override {
        Unexpected("device.GetBackBuffer");
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                            IDirect3DTexture9**, HANDLE*) override {
        Unexpected("device.CreateTexture");
        return D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer9** out,
                                                 HANDLE* shared) override {
        Called(Format("device.CreateVertexBuffer", length, Hex{usage}, Hex{fvf},
                      static_cast<uint32_t>(pool), static_cast<const void*>(shared)));
        if (script.vertexBufferFails) {
            return D3DERR_OUTOFVIDEOMEMORY;
        }
        *out = NewVertexBuffer();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override {
        Called("device.BeginScene()");
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE EndScene() override {
        Called("device.EndScene()");
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                    float z, DWORD stencil) override {
        Called(Format("device.Clear", count, static_cast<const void*>(rects), Hex{flags},
                      Hex{color}, z, stencil));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        Called(Format("device.SetRenderState", static_cast<uint32_t>(state), value));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override {
        const std::string call = Format("device.SetTexture", stage, texture);
        Called(call);
        CheckAlive(texture, call);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD value) override {
        Called(Format("device.SetSamplerState", sampler, static_cast<uint32_t>(type), value));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT start,
                                            UINT count) override {
        Called(Format("device.DrawPrimitive", static_cast<uint32_t>(type), start, count));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override {
        Called(Format("device.SetFVF", Hex{fvf}));
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT stream, IDirect3DVertexBuffer9* data,
                                              UINT offset, UINT stride) override {
        const std::string call = Format("device.SetStreamSource", stream, data, offset, stride);
        Called(call);
        CheckAlive(data, call);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Present(const RECT* source, const RECT* dest, HWND windowOverride,
                                      const RGNDATA* dirty) override {
        Called(Format("device.Present", static_cast<const void*>(source),
                      static_cast<const void*>(dest), windowOverride,
                      static_cast<const void*>(dirty)));
        return D3D_OK;
    }
};

struct Direct3D : Counted<IDirect3D9> {
    UINT STDMETHODCALLTYPE GetAdapterCount() override {
        Unexpected("direct3d.GetAdapterCount");
        return 1;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type,
                                            D3DCAPS9* caps) override {
        Called(Format("direct3d.GetDeviceCaps", adapter, static_cast<uint32_t>(type)));
        if (script.capsUntouched) {
            return D3DERR_NOTAVAILABLE;
        }
        *caps = script.caps;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags,
                                           D3DPRESENT_PARAMETERS* parameters,
                                           IDirect3DDevice9** out) override {
        Called(Format("direct3d.CreateDevice", adapter, static_cast<uint32_t>(type), focus,
                      Hex{flags}));
        lastPresentParameters = *parameters;
        if (script.createDeviceResult != D3D_OK) {
            return script.createDeviceResult;
        }
        if (!script.createDeviceGivesNothing) {
            *out = NewDevice();
        }
        return D3D_OK;
    }
};

void Reset() {
    script = Script{};
    calls.clear();
    faults.clear();
    objects.clear();
    messageBoxes.clear();
    std::memset(&lastPresentParameters, 0, sizeof lastPresentParameters);
    textureCount = 0;
    headerReads = 0;
    vertexBufferCount = 0;
}

Object* ObjectOf(IUnknown* object) {
    return dynamic_cast<Object*>(object);
}

std::string NameOf(IUnknown* object) {
    if (object == nullptr) {
        return "null";
    }
    Object* fake = ObjectOf(object);
    return fake == nullptr ? "foreign" : fake->name;
}

std::string FileOf(IDirect3DTexture9* texture) {
    auto* fake = dynamic_cast<Texture*>(texture);
    return fake == nullptr ? "" : fake->file;
}

IDirect3DDevice9* NewDevice() {
    return Make<Device>("device");
}

IDirect3DVertexBuffer9* NewVertexBuffer() {
    VertexBuffer* buffer = Make<VertexBuffer>("vb" + std::to_string(++vertexBufferCount));
    // Fresh buffer memory holds no particular value.
    std::memset(buffer->bytes, 0xCD, sizeof buffer->bytes);
    return buffer;
}

IDirect3DTexture9* NewTexture(const std::string& file, UINT width, UINT height) {
    const int number = ++textureCount;
    Texture* texture = Make<Texture>("tex" + std::to_string(number));
    texture->file = file;
    texture->number = number;
    texture->width = width;
    texture->height = height;
    return texture;
}

IDirect3DSurface9* NewSurface(const std::string& name) {
    return Make<Surface>(name);
}

unsigned char* BytesOf(IDirect3DVertexBuffer9* buffer) {
    return dynamic_cast<VertexBuffer*>(buffer)->bytes;
}

std::vector<std::string> Matching(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& entry : calls) {
        if (entry.rfind(prefix, 0) == 0) {
            found.push_back(entry);
        }
    }
    return found;
}

int Count(const std::string& text) {
    int count = 0;
    for (const std::string& entry : calls) {
        if (entry.find(text) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

namespace {

// What the file at `path` holds, by its name.
struct ImageFile {
    bool exists = false;
    std::string name;
    HRESULT infoResult = D3DXERR_INVALIDDATA;
    D3DXIMAGE_INFO info = {};
    bool decodes = false;
};

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

UINT PowerOfTwoAtLeast(UINT value) {
    UINT power = 1;
    while (power < value) {
        power *= 2;
    }
    return power;
}

ImageFile Inspect(const char* path) {
    ImageFile file;
    const std::string text = path;
    const size_t slash = text.find_last_of("\\/");
    file.name = slash == std::string::npos ? text : text.substr(slash + 1);
    struct stat status;
    file.exists = stat(ResolvePath(text).c_str(), &status) == 0 && S_ISREG(status.st_mode);
    if (!file.exists) {
        return file;
    }
    file.info.Depth = 1;
    file.info.MipLevels = 1;
    file.info.Format = D3DFMT_X8R8G8B8;
    file.info.Width = 256;
    file.info.Height = 256;
    if (StartsWith(file.name, "good")) {
        unsigned width = 640;
        unsigned height = 480;
        std::sscanf(file.name.c_str(), "good_%ux%u", &width, &height);
        file.info.Width = width;
        file.info.Height = height;
        file.info.ResourceType = D3DRTYPE_TEXTURE;
        file.infoResult = D3D_OK;
        file.decodes = true;
    } else if (StartsWith(file.name, "cube")) {
        file.info.ResourceType = D3DRTYPE_CUBETEXTURE;
        file.infoResult = D3D_OK;
        file.decodes = true;
    } else if (StartsWith(file.name, "volume")) {
        file.info.ResourceType = D3DRTYPE_VOLUMETEXTURE;
        file.info.Depth = 4;
        file.infoResult = D3D_OK;
        file.decodes = true;
    } else if (StartsWith(file.name, "nodecode")) {
        file.info.ResourceType = D3DRTYPE_TEXTURE;
        file.infoResult = D3D_OK;
    }
    return file;
}

} // namespace

} // namespace fake

using namespace fake;

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
    calls.push_back(Format("Direct3DCreate9", sdkVersion));
    if (script.direct3dFails) {
        return nullptr;
    }
    return Make<Direct3D>("direct3d");
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR srcFile, D3DXIMAGE_INFO* info) {
    const ImageFile file = Inspect(srcFile);
    calls.push_back(Format("D3DXGetImageInfoFromFileA", file.name));
    // No test folder needs this many tries: a walk that never ends fails
    // the test run instead of hanging it.
    if (++headerReads > 10000) {
        std::fprintf(stderr, "fake D3DX: over 10000 header reads in one test: the walk spins\n");
        std::abort();
    }
    if (file.infoResult == D3D_OK) {
        *info = file.info;
    }
    return file.infoResult;
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR srcFile, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture) {
    const ImageFile file = Inspect(srcFile);
    const std::string call =
        Format("D3DXCreateTextureFromFileExA", device, file.name, Hex{width}, Hex{height},
               mipLevels, usage, static_cast<uint32_t>(format), static_cast<uint32_t>(pool),
               Hex{filter}, Hex{mipFilter}, Hex{colorKey}, static_cast<const void*>(srcInfo),
               static_cast<const void*>(palette));
    calls.push_back(call);
    CheckAlive(device, call);
    if (file.infoResult != D3D_OK || !file.decodes) {
        return D3DXERR_INVALIDDATA;
    }
    *texture = NewTexture(file.name, PowerOfTwoAtLeast(file.info.Width),
                          PowerOfTwoAtLeast(file.info.Height));
    return D3D_OK;
}

BOOL WINAPI GetClientRect(HWND window, RECT* rect) {
    calls.push_back(Format("GetClientRect", window));
    if (script.clientRectFails) {
        return FALSE;
    }
    *rect = script.clientRect;
    return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    calls.push_back(Format("MessageBoxA", owner, text, caption, Hex{type}));
    messageBoxes.push_back({owner, text, caption, type});
    return IDOK;
}
