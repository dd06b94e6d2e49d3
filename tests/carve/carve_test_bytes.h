// Small database images for the carver tests: zero-filled files with a few
// byte runs placed at given positions.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/sqlite/page_reader.h"

namespace marlowen::carve::testing {

struct Placed {
    int64_t at;
    std::vector<uint8_t> bytes;
};

inline std::vector<uint8_t> imageOf(size_t size, std::initializer_list<Placed> runs) {
    std::vector<uint8_t> image(size, 0);
    for (const auto& run : runs)
        for (size_t i = 0; i < run.bytes.size(); ++i)
            image.at(static_cast<size_t>(run.at) + i) = run.bytes[i];
    return image;
}

inline PageReader readerOf(size_t size, std::initializer_list<Placed> runs) {
    return PageReader::fromBytes(imageOf(size, runs));
}

}  // namespace marlowen::carve::testing
