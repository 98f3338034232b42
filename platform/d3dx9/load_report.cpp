// The opt-in load report: one line per header read or texture made from a
// file, when VIMBORA_LOAD_STATS asks for it.
#include "platform/d3dx9/load_report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Read once: the environment does not change under the running show.
bool ReportWanted() {
    static const bool wanted = [] {
        const char* value = std::getenv("VIMBORA_LOAD_STATS");
        return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
    }();
    return wanted;
}

} // namespace

HRESULT ReportLoad(const char* call, LPCSTR path, HRESULT result) {
    if (!ReportWanted()) {
        return result;
    }
    // One write per line (stderr is unbuffered), so a reader that polls the
    // stream never sees half a line.
    std::fprintf(stderr, "vimbora load: %s %s %s\n", call, result == D3D_OK ? "ok" : "failed",
                 path != nullptr ? path : "");
    return result;
}
