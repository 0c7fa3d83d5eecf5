#pragma once
// Pictures of drawing surfaces as PNG files (8-bit palette images with the 16 palette colours).

#include <optional>
#include <string>

#include "windowing/canvas.h"

namespace windowing {

// Writes `canvas` to `path`: into a new file beside it, which replaces the file of that name
// only when the picture is complete. Returns false, with "PATH: reason" in *error when given,
// when the picture cannot be written; the file of that name is then left as it was, and the
// new one removed.
bool write_png(const Canvas& canvas, const std::string& path, std::string* error = nullptr);

// Reads a PNG back into a canvas of its size. Nothing when the file cannot be read or holds a
// colour outside the palette.
std::optional<Canvas> read_png(const std::string& path, std::string* error = nullptr);

}  // namespace windowing
