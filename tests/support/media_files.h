// Picture and film files for the photo and video reader, which keeps every
// backup entry of 50000 bytes or more and lets the viewer decide what opens.
// The images are valid files any decoder opens; the films carry real box
// headers but no playable media.
#pragma once

#include <cstddef>

#include "support/file_bytes.h"

namespace marlowen::fixture {

inline constexpr std::size_t kPhotoCandidateMinimum = 50000;

// A baseline JFIF image (64 x 48, grey) starting FF D8 FF E0, grown to at
// least `minimumSize` bytes with comment segments.
Bytes jpegImage(std::size_t minimumSize = 60000);

// A PNG image (RGB, uncompressed deflate blocks) of at least `minimumSize` bytes.
Bytes pngImage(std::size_t minimumSize = 60000);

// An ISO base media file: "ftyp" (brand "qt  " or "mp42"), an empty "moov"
// with its "mvhd", and an "mdat" filling the file to exactly `size` bytes.
Bytes quickTimeMovie(std::size_t size = 60000);
Bytes mp4Movie(std::size_t size = 60000);

}  // namespace marlowen::fixture
