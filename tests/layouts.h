// Images stored in the layouts that a view reaches through its strides, for the kernel tests: the
// same elements, column-major, row-major, with gaps between columns or rows, every other element
// and reversed, each read through the strides of an ImageView. The gaps hold the bytes 0xA5, so
// that a read of a gap all but surely changes a result.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image.h"

namespace layouts {

struct Strides {
    const char* name;
    int32_t row, column;  // in elements, from the rows and columns of the image
};

// The strides of layout k (0 to kCount - 1) for an image of `rows` by `columns`.
inline Strides stridesOf(int k, int32_t rows, int32_t columns) {
    const Strides all[] = {
        {"column-major", 1, rows},
        {"row-major", columns, 1},
        {"columns 3 elements apart", 1, rows + 3},
        {"rows 2 elements apart", columns + 2, 1},
        {"every other element", 2, 2 * rows + 1},
        {"row-major, every third column", 3 * columns, 3},
        {"reversed", -1, -rows},
        {"row-major, rows reversed", -columns, 1},
        {"column-major, columns reversed", 1, -rows},
    };
    return all[k];
}
constexpr int kCount = 9;

// The elements of a column-major image, `size` bytes each, stored in layout k, and the view
// that reads them.
struct LaidOut {
    std::vector<unsigned char> bytes;
    std::size_t first = 0;  // where element (0, 0) starts
    mexgeom::ImageView shape{};

    mexgeom::ImageView view() const {
        mexgeom::ImageView v = shape;
        v.elements = bytes.data() + first;
        return v;
    }
};

inline LaidOut layOut(const unsigned char* columnMajor, std::size_t size, int32_t rows,
                      int32_t columns, mexgeom::Element element, int k) {
    const Strides s = stridesOf(k, rows, columns);
    LaidOut out{{}, 0, {nullptr, rows, columns, element, s.row, s.column}};
    if (rows == 0 || columns == 0) return out;
    // The offsets of the four corners bound those of every element.
    using Offset = std::ptrdiff_t;
    const Offset lastRow = Offset{rows - 1} * s.row, lastColumn = Offset{columns - 1} * s.column;
    const Offset low = std::min<Offset>(0, lastRow) + std::min<Offset>(0, lastColumn);
    const Offset high = std::max<Offset>(0, lastRow) + std::max<Offset>(0, lastColumn);
    out.bytes.assign(static_cast<std::size_t>(high - low + 1) * size, 0xA5);
    out.first = static_cast<std::size_t>(-low) * size;
    for (Offset c = 0; c < columns; ++c) {
        for (Offset r = 0; r < rows; ++r) {
            const Offset at = Offset(out.first) + (r * s.row + c * s.column) * Offset(size);
            std::copy_n(columnMajor + (r + c * rows) * Offset(size), size, &out.bytes[at]);
        }
    }
    return out;
}

}  // namespace layouts
