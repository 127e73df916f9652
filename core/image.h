// An image as the kernels receive it: a view of the host's storage, which they only read.
//
// Column-major: element (r, c), both 0-based, lies at r + c * rows. The element kind is kDouble
// for doubles and any other value for uint8, read as the numbers 0 to 255 (never scaled).
#pragma once

#include <cstdint>

namespace mexgeom {

enum ElementKind : int32_t { kDouble = 0, kUint8 = 1 };

struct ImageView {
    const void* elements;
    int32_t rows, columns;
    int32_t kind;
};

}  // namespace mexgeom
