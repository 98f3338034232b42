// D3DXGetImageInfoFromFileA: the header read, without decoding any pixel.
#include "platform/d3dx9/decoders.h"
#include "platform/d3dx9/load_report.h"

#include <new>

namespace {

HRESULT ReadInfo(LPCSTR srcFile, D3DXIMAGE_INFO* info) {
    ImageFile file;
    ImageHeader header;
    if (!OpenImageFile(srcFile, file) || !ReadFileHeader(file, header))
        return D3DXERR_INVALIDDATA;
    // As in D3DX, a null info pointer only asks whether the file is an image.
    if (info != nullptr)
        *info = header.info;
    return D3D_OK;
}

} // namespace

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR srcFile, D3DXIMAGE_INFO* info) {
    if (srcFile == nullptr)
        return D3DERR_INVALIDCALL;
    // The layer never lets an exception cross into the program.
    try {
        return ReportLoad("info", srcFile, ReadInfo(srcFile, info));
    } catch (const std::bad_alloc&) {
        return ReportLoad("info", srcFile, E_OUTOFMEMORY);
    }
}
