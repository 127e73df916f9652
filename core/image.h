// An image as the kernels receive it: a view of the host's storage, which they only read.
//
// Element (r, c), both 0-based, lies rowStride * r + columnStride * c elements past element
// (0, 0): column-major (strides 1 and rows, as the MEX hosts hold every array) unless the view
// says otherwise; NumPy's C order has strides columns and 1, and a view sliced with steps or
// reversed has others, of either sign. The kernels read every layout where it lies, with the same
// arithmetic, so that the results have the same bits in each. Every element is used as the double
// it equals: bytes as the numbers 0 to 255 and 16-bit words as 0 to 65535, never scaled; floats
// widened exactly, so that an image of any element type gives the bits of the double image
// holding the same values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace mexgeom {

// What an image's elements are; ElementTypes below pairs each with its C++ type.
enum class Element : int32_t { kDouble = 0, kUint8 = 1, kFloat = 2, kUint16 = 3 };

struct ImageView {
    const void* elements;  // element (0, 0)
    int32_t rows, columns;
    Element element;
    // In elements, of either sign. Left out, they are those of column-major storage
    // (columnStride defaults to rows, which is set before it).
    int32_t rowStride = 1;
    int32_t columnStride = rows;
};

// How a kernel addresses an image's elements, chosen once per call from the strides:
//   kColumns  rowStride 1, columnStride >= 0: the neighbours along a column lie side by side
//             (column-major storage, and columns sliced out of it);
//   kRows     columnStride 1, rowStride >= 0: the neighbours along a row lie side by side
//             (NumPy's C order);
//   kStrided  any other strides: every element read on its own.
enum class Layout : int32_t { kColumns = 0, kRows = 1, kStrided = 2 };

inline constexpr Layout layoutOf(const ImageView& image) {
    if (image.rowStride == 1 && image.columnStride >= 0) return Layout::kColumns;
    if (image.columnStride == 1 && image.rowStride >= 0) return Layout::kRows;
    return Layout::kStrided;
}

// The one layout in which a kernel reads two images together: theirs when they share it.
inline constexpr Layout layoutOf(const ImageView& a, const ImageView& b) {
    return layoutOf(a) == layoutOf(b) ? layoutOf(a) : Layout::kStrided;
}

// The elements of an image of element type T, addressed in layout L: element (r, c) at
// first[offset(r, c)]. The stride that L fixes at 1 is never read, so that the compiler sees the
// constant.
template <typename T, Layout L>
struct Grid {
    const T* first;
    std::ptrdiff_t rowStride, columnStride;

    // From one row (column) to the next.
    constexpr std::ptrdiff_t down() const { return L == Layout::kColumns ? 1 : rowStride; }
    constexpr std::ptrdiff_t right() const { return L == Layout::kRows ? 1 : columnStride; }
    constexpr std::ptrdiff_t offset(std::ptrdiff_t r, std::ptrdiff_t c) const {
        return r * down() + c * right();
    }
};

// Internal linkage: the kernels' vector files include this inside a region built for a wider
// instruction set, whose copy of a function must never be the one that a baseline caller gets.
namespace {

template <typename T, Element E>
struct ElementType {
    using Type = T;
    static constexpr Element element = E;
};

template <typename... E>
struct ElementList {};

template <Layout... L>
struct LayoutList {};

// The element types an image may hold, each beside its Element. A new one is a line here and its
// loads in lanes.h; every kernel then takes it. The MEX commands take doubles and bytes alone, and
// their builds (MEXGEOM_MEX_ELEMENTS) list only those two, and column-major storage alone among
// the layouts: a kernel has one instance per element type of each image it reads (patchcorr one
// per pair) and per layout, which the others would only make larger.
#if defined(MEXGEOM_MEX_ELEMENTS)
using ElementTypes =
    ElementList<ElementType<double, Element::kDouble>, ElementType<uint8_t, Element::kUint8>>;
using Layouts = LayoutList<Layout::kColumns>;
#else
using ElementTypes =
    ElementList<ElementType<double, Element::kDouble>, ElementType<uint8_t, Element::kUint8>,
                ElementType<float, Element::kFloat>, ElementType<uint16_t, Element::kUint16>>;
using Layouts = LayoutList<Layout::kColumns, Layout::kRows, Layout::kStrided>;
#endif

template <typename T, typename... E>
constexpr bool listed(ElementList<E...>) {
    return (std::is_same_v<T, typename E::Type> || ...);
}

// Whether T is one of ElementTypes.
template <typename T>
inline constexpr bool isElement = listed<T>(ElementTypes{});

template <typename T, typename... E>
constexpr Element elementIn(ElementList<E...>) {
    Element element{};
    (void)((std::is_same_v<T, typename E::Type> && (element = E::element, true)) || ...);
    return element;
}

// The Element of T, one of ElementTypes.
template <typename T>
constexpr Element elementOf() {
    static_assert(isElement<T>, "not an element type of image.h");
    return elementIn<T>(ElementTypes{});
}

template <typename F, typename... E>
[[gnu::always_inline]] inline void dispatch(const ImageView& image, F& f, ElementList<E...>) {
    (void)((image.element == E::element &&
            (f(static_cast<const typename E::Type*>(image.elements)), true)) ||
           ...);
}

// f(elements), with the image's elements as the pointer to their type (const double*, const
// uint8_t*, ...): the one dispatch on the element type, which a kernel makes once per call so that
// the type is a template argument of everything it runs, never a branch per sample. An Element
// outside ElementTypes calls nothing.
template <typename F>
[[gnu::always_inline]] inline void withElements(const ImageView& image, F&& f) {
    dispatch(image, f, ElementTypes{});
}

template <typename F, Layout... L>
[[gnu::always_inline]] inline void dispatch(Layout layout, F& f, LayoutList<L...>) {
    (void)((layout == L && (f(std::integral_constant<Layout, L>{}), true)) || ...);
}

// f(layout), with the layout as a std::integral_constant: the one dispatch on the layout, made
// once per call like that on the element type. A layout outside Layouts calls nothing.
template <typename F>
[[gnu::always_inline]] inline void withLayout(Layout layout, F&& f) {
    dispatch(layout, f, Layouts{});
}

// f(grid), with the image's elements as a Grid of their type in layout L, which must address the
// image (its own layout, or kStrided for any).
template <Layout L, typename F>
[[gnu::always_inline]] inline void withGrid(const ImageView& image, F&& f) {
    // (remove_cvref_t is C++20; the installed headers serve C++17 programs too.)
    withElements(image, [&](const auto* elements) {
        using T = std::remove_const_t<std::remove_reference_t<decltype(*elements)>>;
        f(Grid<T, L>{elements, image.rowStride, image.columnStride});
    });
}

// The element kind of the one-point entry points (ncc, imgraduv): an integer, 0 for doubles and
// any other value for bytes.
constexpr Element elementOfKind(int32_t kind) {
    return kind == 0 ? Element::kDouble : Element::kUint8;
}

}  // namespace
}  // namespace mexgeom
