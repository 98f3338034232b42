// Recording fakes of the Direct3D 9 objects and of the free functions the
// rendering code calls (Direct3DCreate9, the two D3DX loaders, GetClientRect,
// MessageBoxA). Every call goes into one ordered log as text such as
// "vb1.Lock(0,112,0x0)". Objects are never freed on their last Release: they
// stay until Reset so that a use after release or a second release is seen
// and recorded in `faults` instead of crashing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace fake {

// The window the tests give the program as mainWindow.
inline HWND const window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000));

// Bookkeeping shared by every fake object.
struct Object {
    virtual ~Object() = default;
    std::string name;
    int refs = 1; // references held by the program
    int timesReachedZero = 0;
    bool failNext = false; // Lock / GetSurfaceLevel fail while set
    // Records a method call; a call on an object already released to zero
    // counts as a fault.
    void Called(const std::string& call);
};

struct Texture;
struct Surface;
struct VertexBuffer;
struct Device;
struct Direct3D;

// What the fakes are told to do.
struct Script {
    bool direct3dFails = false; // Direct3DCreate9 gives null
    bool capsUntouched = false; // GetDeviceCaps writes nothing
    D3DCAPS9 caps = {};         // what GetDeviceCaps writes otherwise
    HRESULT createDeviceResult = D3D_OK;
    bool createDeviceGivesNothing = false; // D3D_OK but no device
    bool vertexBufferFails = false;
    bool surfaceLevelFails = false;
    bool clientRectFails = false; // GetClientRect returns FALSE, writes nothing
    RECT clientRect = {0, 0, 600, 400};
};

extern Script script;
extern std::vector<std::string> calls;  // every call, in order
extern std::vector<std::string> faults; // misuse seen by the fakes
extern std::vector<std::unique_ptr<Object>> objects;

struct ShownBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
extern std::vector<ShownBox> messageBoxes;
extern D3DPRESENT_PARAMETERS lastPresentParameters; // as given to CreateDevice

// Empties the log, the faults, the script and every object.
void Reset();

// Name of a fake object ("tex1", "vb2", "device"), "null" for none.
std::string NameOf(IUnknown* object);
// The object behind an interface pointer, null for none.
Object* ObjectOf(IUnknown* object);
// File name the texture was decoded from ("good_800x600.jpg").
std::string FileOf(IDirect3DTexture9* texture);

// Direct factories for tests that set the program's references by hand.
IDirect3DDevice9* NewDevice();
IDirect3DVertexBuffer9* NewVertexBuffer();
IDirect3DTexture9* NewTexture(const std::string& file, UINT width, UINT height);
IDirect3DSurface9* NewSurface(const std::string& name);

// The 112 bytes of a fake vertex buffer.
unsigned char* BytesOf(IDirect3DVertexBuffer9* buffer);

// The log entries that start with `prefix`.
std::vector<std::string> Matching(const std::string& prefix);
// Number of log entries that contain `text`.
int Count(const std::string& text);

} // namespace fake
