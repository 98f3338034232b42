// The Direct3D 9 object and the one device, with the capability warnings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

extern IDirect3D9* direct3d;     // owning; null until CreateGraphicsDevice
extern IDirect3DDevice9* device; // owning; null until CreateGraphicsDevice
extern D3DCAPS9 deviceCaps;      // default adapter, hardware device

// What the three capability numbers decide: the one vertex-processing flag
// and the warnings to show first, in order.
struct CapabilityDecision {
    DWORD behaviorFlags;
    std::vector<const char*> warnings;
};

CapabilityDecision DecideCapabilities(DWORD devCaps, DWORD vertexShaderVersion,
                                      DWORD pixelShaderVersion);

// The presentation parameters for a back buffer of width x height pixels
// presented into `window`.
D3DPRESENT_PARAMETERS MakePresentParameters(int32_t width, int32_t height, HWND window);

// Creates direct3d and device for mainWindow after the capability warnings.
// Returns false, with an "Error" message box naming the back-buffer size,
// when either cannot be created; what was created is released again.
bool CreateGraphicsDevice();

// Releases every graphics object of the program, slides first, in order;
// empty references are skipped, so a second call does nothing.
void ReleaseGraphics();

// The message shown when no device can be made for `width` x `height`.
std::string DeviceErrorText(int32_t width, int32_t height);

// Gives up an owning reference: Release unless it is empty, then empty it, so
// that no object is released twice or used after its release.
template <typename Interface> void ReleaseReference(Interface*& reference) {
    if (reference != nullptr) {
        reference->Release();
        reference = nullptr;
    }
}
