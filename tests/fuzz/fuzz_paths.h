// The code paths one fuzz input is fed through, shared by the libFuzzer
// targets and the regression runner that replays saved inputs in the normal
// builds. Each path checks its invariants and aborts, with a message on
// standard error, when one is broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using FuzzPath = void (*)(const uint8_t* data, size_t size);

// The path of the target `name` (cmdline, image_info, image_decode, jpeg,
// png, dds), or null for an unknown name.
FuzzPath FindFuzzPath(const std::string& name);
