#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Where a JPEG picture lies inside a file.
struct EmbeddedJpeg {
    size_t offset = 0;
    size_t length = 0;
};

// The largest JPEG preview a camera raw file names in its TIFF structure (the
// JPEG fields, JPEG-compressed strips and a Panasonic preview tag of every
// directory, its sub-directories and its Exif directory) or in a Fujifilm
// header. Only previews that lie in `data` and start like a JPEG are taken.
std::optional<EmbeddedJpeg> FindEmbeddedPreview(const uint8_t* data, size_t size);
