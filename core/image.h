// An image as the kernels receive it: a view of the host's storage, which they only read.
//
// Column-major: element (r, c), both 0-based, lies at r + c * rows. Every element is used as the
// double it equals: bytes as the numbers 0 to 255 and 16-bit words as 0 to 65535, never scaled;
// floats widened exactly, so that an image of any element type gives the bits of the double image
// holding the same values.
#pragma once

#include <cstdint>
#include <type_traits>

namespace mexgeom {

// What an image's elements are; ElementTypes below pairs each with its C++ type.
enum class Element : int32_t { kDouble = 0, kUint8 = 1, kFloat = 2, kUint16 = 3 };

struct ImageView {
    const void* elements;
    int32_t rows, columns;
    Element element;
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

// The element types an image may hold, each beside its Element. A new one is a line here and its
// loads in lanes.h; every kernel then takes it. The MEX commands take doubles and bytes alone, and
// their builds (MEXGEOM_MEX_ELEMENTS) list only those two: a kernel has one instance per element
// type of each image it reads (patchcorr one per pair), which the others would only make larger.
#if defined(MEXGEOM_MEX_ELEMENTS)
using ElementTypes =
    ElementList<ElementType<double, Element::kDouble>, ElementType<uint8_t, Element::kUint8>>;
#else
using ElementTypes =
    ElementList<ElementType<double, Element::kDouble>, ElementType<uint8_t, Element::kUint8>,
                ElementType<float, Element::kFloat>, ElementType<uint16_t, Element::kUint16>>;
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

// The element kind of the one-point entry points (ncc, imgraduv): an integer, 0 for doubles and
// any other value for bytes.
constexpr Element elementOfKind(int32_t kind) {
    return kind == 0 ? Element::kDouble : Element::kUint8;
}

}  // namespace
}  // namespace mexgeom
