// The one platform header of the program. On Windows it is the real Win32,
// Direct3D 9 and D3DX 9; elsewhere it is our layer, which declares the same
// names with the same values.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <d3d9.h>
#include <d3dx9.h>
#else
#include "platform/d3d9/d3d9.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"
#include "platform/windef.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);
#endif
