// The Direct3D 9 object and the one device: creation after the capability
// warnings, and the release of every graphics object at exit.
#include "render/device.h"

#include <cstring>

#include "app/settings.h"
#include "render/slides.h"
#include "window/window.h"

IDirect3D9* direct3d = nullptr;
IDirect3DDevice9* device = nullptr;
D3DCAPS9 deviceCaps = {};

namespace {

const char* const softwareVertexWarning =
    "Hardware vertex processing unsupported.\nSwitching to software vertex processing.";
const char* const vertexShaderWarning = "Vertex Shader 2.0 support not detected.";
const char* const pixelShaderWarning = "Pixel Shader 2.0 support not detected.";

// Tells the user that the show cannot start, then gives up the Direct3D
// object if there is one; no device exists at this point.
bool AbandonDevice() {
    const std::string text = DeviceErrorText(settings.width, settings.height);
    MessageBoxA(nullptr, text.c_str(), "Error", MB_OK | MB_ICONERROR);
    ReleaseReference(direct3d);
    return false;
}

} // namespace

CapabilityDecision DecideCapabilities(DWORD devCaps, DWORD vertexShaderVersion,
                                      DWORD pixelShaderVersion) {
    CapabilityDecision decision;
    if ((devCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0) {
        decision.behaviorFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    } else {
        decision.behaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        decision.warnings.push_back(softwareVertexWarning);
    }
    // Shader versions are tokens such as 0xFFFE0200; they order correctly
    // only as unsigned numbers.
    if (vertexShaderVersion < static_cast<DWORD>(D3DVS_VERSION(2, 0))) {
        decision.warnings.push_back(vertexShaderWarning);
    }
    if (pixelShaderVersion < static_cast<DWORD>(D3DPS_VERSION(2, 0))) {
        decision.warnings.push_back(pixelShaderWarning);
    }
    return decision;
}

D3DPRESENT_PARAMETERS MakePresentParameters(int32_t width, int32_t height, HWND window) {
    D3DPRESENT_PARAMETERS parameters;
    std::memset(&parameters, 0, sizeof parameters);
    // A negative setting becomes a huge unsigned size, which CreateDevice
    // refuses; the error box then names the size as it was given.
    parameters.BackBufferWidth = static_cast<UINT>(width);
    parameters.BackBufferHeight = static_cast<UINT>(height);
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 2;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.MultiSampleQuality = 0;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = FALSE;
    parameters.AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    parameters.Flags = 0;
    parameters.FullScreen_RefreshRateInHz = 0;
    // Each Present waits for the display's retrace: this paces the main loop.
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return parameters;
}

std::string DeviceErrorText(int32_t width, int32_t height) {
    return "Vimbora could not create a Direct3D 9 device with a back buffer of " +
           std::to_string(width) + " x " + std::to_string(height) + " pixels.";
}

bool CreateGraphicsDevice() {
    direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (direct3d == nullptr) {
        return AbandonDevice();
    }

    // A query that fails leaves the record zero: a device with no
    // capabilities, which only adds warnings.
    std::memset(&deviceCaps, 0, sizeof deviceCaps);
    direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &deviceCaps);

    D3DPRESENT_PARAMETERS parameters =
        MakePresentParameters(settings.width, settings.height, mainWindow);

    const CapabilityDecision decision = DecideCapabilities(
        deviceCaps.DevCaps, deviceCaps.VertexShaderVersion, deviceCaps.PixelShaderVersion);
    for (const char* warning : decision.warnings) {
        MessageBoxA(nullptr, warning, "Warning", MB_OK | MB_ICONWARNING);
    }

    // Exactly the one vertex-processing flag: without D3DCREATE_FPU_PRESERVE
    // Direct3D keeps this thread's FPU in single precision, round to nearest,
    // for the device's whole life.
    device = nullptr;
    const HRESULT result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mainWindow,
                                                  decision.behaviorFlags, &parameters, &device);
    if (result != D3D_OK) {
        // A failing call hands out no reference: whatever it left is not ours.
        device = nullptr;
    }
    if (device == nullptr) {
        return AbandonDevice();
    }
    return true;
}

void ReleaseGraphics() {
    // Each surface before its texture, everything made on the device before
    // the device, the device before the Direct3D object.
    ReleaseReference(currentSlide.surface);
    ReleaseReference(currentSlide.texture);
    currentSlide.loaded = false;
    ReleaseReference(nextSlide.surface);
    ReleaseReference(nextSlide.texture);
    nextSlide.loaded = false;
    ReleaseReference(currentSlide.vertexBuffer);
    ReleaseReference(nextSlide.vertexBuffer);
    ReleaseReference(device);
    ReleaseReference(direct3d);
}
