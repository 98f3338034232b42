// An opt-in report of the files D3DX is asked to read, for tests that watch a
// running show from outside (how many images it has loaded, which files it
// still tries). Internal to the d3dx9 module.
#pragma once

#include "platform/d3dx9/d3dx9.h"

// With VIMBORA_LOAD_STATS set in the environment (to anything but "" or
// "0"), writes one line to standard error for the call `call` ("info" or
// "texture") on `path`: "vimbora load: texture ok <path>", or "failed"
// instead of "ok" for any result other than D3D_OK. Returns `result`, so that
// a call can report its result as it returns it.
HRESULT ReportLoad(const char* call, LPCSTR path, HRESULT result);
