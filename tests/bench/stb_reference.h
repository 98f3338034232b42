// stb_image's read of a whole BMP or HDR file (`size` bytes), as the
// benchmark's reference; `floats` reads HDR as floats as stbi_loadf does.
// False when stb_image cannot read it.
#pragma once

bool StbReferenceRead(const unsigned char* file, int size, bool floats);
