// The checks and conversions that every Python gateway shares. Each gateway sees a Python
// argument as the commands see a host array (its element class, its rows and columns, whether
// it is sparse), tests it in the command's own order, and only then hands its numbers to a kernel:
// an image where it lies, in any memory order (the kernels read it through its strides); any other
// argument column-major, in place when the array already is; else as one copy made for the call.
//
// How a Python argument reads as a host array:
//   - a NumPy array keeps its element type; its shape (d0, d1, ..., dk) gives d0 rows and
//     d1 x ... x dk columns, in column-major order as a host array of those dimensions;
//     a 1-D array of n elements is an n x 1 column, a 0-D array 1 x 1;
//   - Python numbers and lists or tuples of them are doubles, as a literal is in MATLAB;
//   - any other object goes through numpy.asarray and keeps the element type it gets there;
//   - a SciPy sparse matrix is a sparse array of its shape and element type, never read.
// Complex arrays are read by their real part. Messages are the commands' own sentences: a wrong
// element class or a sparse array is a TypeError, a wrong size a ValueError, an output that cannot
// be made a MemoryError. Images take two element types beyond the commands' double and uint8,
// float32 and uint16, read in place like them.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "image.h"
#include "threads.h"

namespace pygate {

namespace py = pybind11;

[[noreturn]] inline void typeError(const char* message) {
    throw py::type_error(message);
}

[[noreturn]] inline void valueError(const char* message) {
    throw py::value_error(message);
}

[[noreturn]] inline void memoryError(const char* message) {
    PyErr_SetString(PyExc_MemoryError, message);
    throw py::error_already_set();
}

// An array handle that holds nothing (py::array's own default constructor makes an empty array,
// which costs as much as the rest of a small call).
template <typename Array = py::array>
Array noArray() {
    return py::reinterpret_steal<Array>(py::handle());
}

// The element classes that the gateways tell apart are the image elements of image.h: the
// commands' double and uint8, and the two more that images may hold here. Any other class has none.
using Class = std::optional<mexgeom::Element>;

// A Python argument as a host array: its rows, its second dimension, its columns (the product of
// every dimension after the first) and its number of dimensions, counted as a host does (at least
// two, trailing ones beyond the second not counted).
struct Arg {
    py::array array = noArray();  // the numbers (none for a sparse matrix or an object NumPy
                                  // cannot hold)
    std::size_t rows = 1, second = 1, columns = 1, dimensions = 2;
    Class elements;
    bool complex = false, sparse = false;

    std::size_t count() const { return rows * columns; }
    bool empty() const { return count() == 0; }
    bool isDouble() const { return elements == mexgeom::Element::kDouble; }
    bool isFullDouble() const { return isDouble() && !sparse; }
};

namespace detail {

inline Class classOf(const py::dtype& type) {
    using mexgeom::Element;
    if (type.has_fields()) return {};
    const char kind = type.kind();
    const auto size = type.itemsize();
    if ((kind == 'f' && size == 8) || (kind == 'c' && size == 16)) return Element::kDouble;
    if ((kind == 'f' && size == 4) || (kind == 'c' && size == 8)) return Element::kFloat;
    if (kind == 'u' && size == 1) return Element::kUint8;
    if (kind == 'u' && size == 2) return Element::kUint16;
    return {};
}

// NumPy's shape as host dimensions: a column for 1-D, 1 x 1 for 0-D, trailing ones dropped.
template <typename Size>
void setShape(Arg& a, const Size* shape, std::size_t ndim) {
    a.rows = ndim > 0 ? static_cast<std::size_t>(shape[0]) : 1;
    a.second = ndim > 1 ? static_cast<std::size_t>(shape[1]) : 1;
    a.columns = 1;
    a.dimensions = 2;
    for (std::size_t k = 1; k < ndim; ++k) {
        a.columns *= static_cast<std::size_t>(shape[k]);
        if (shape[k] != 1) a.dimensions = std::max(a.dimensions, k + 1);
    }
}

inline bool isPythonNumbers(const py::handle object) {
    return PyLong_Check(object.ptr()) || PyFloat_Check(object.ptr()) ||
           PyComplex_Check(object.ptr()) || py::isinstance<py::list>(object) ||
           py::isinstance<py::tuple>(object);
}

inline bool isSparse(const py::handle object) {
    const py::object module = py::getattr(py::type::handle_of(object), "__module__", py::none());
    return py::isinstance<py::str>(module) &&
           module.cast<std::string>().rfind("scipy.sparse", 0) == 0;
}

// numpy.asarray(object), or an array of objects when NumPy cannot give the object a numeric
// shape (lists of unequal lengths); null when not even that.
inline py::array asArray(const py::handle object) {
    const py::module_ numpy = py::module_::import("numpy");
    try {
        return numpy.attr("asarray")(object);
    } catch (const py::error_already_set&) {
    }
    try {
        return numpy.attr("asarray")(object, py::arg("dtype") = py::dtype("O"));
    } catch (const py::error_already_set&) {
        return noArray();
    }
}

}  // namespace detail

// How the command sees the argument; nothing is converted or copied yet but Python numbers.
inline Arg describe(const py::handle object) {
    Arg a;
    if (py::isinstance<py::array>(object)) {
        a.array = py::reinterpret_borrow<py::array>(object);
    } else if (detail::isSparse(object)) {
        std::vector<std::size_t> shape;
        for (const py::handle d : object.attr("shape")) shape.push_back(d.cast<std::size_t>());
        detail::setShape(a, shape.data(), shape.size());
        a.elements = detail::classOf(py::dtype::from_args(object.attr("dtype")));
        a.sparse = true;
        return a;
    } else {
        a.array = detail::asArray(object);
        if (!a.array) return a;
        const char kind = a.array.dtype().kind();
        if (detail::isPythonNumbers(object) && (kind == 'i' || kind == 'u'))
            a.array = a.array.attr("astype")(py::dtype::of<double>());
    }
    detail::setShape(a, a.array.shape(), static_cast<std::size_t>(a.array.ndim()));
    a.elements = detail::classOf(a.array.dtype());
    a.complex = a.array.dtype().kind() == 'c';
    return a;
}

// The numbers of a full array of element type T (the real part of a complex one), column-major
// and aligned: the caller's own array when it is laid out so, else a copy that NumPy makes
// (PyArray_FromAny, without a Python call).
template <typename T>
py::array columnMajor(const Arg& a) {
    using api = py::detail::npy_api;
    const py::array source = a.complex ? py::array(a.array.attr("real")) : a.array;
    if (py::array_t<T, py::array::f_style>::check_(source) &&
        (source.flags() & api::NPY_ARRAY_ALIGNED_) != 0)
        return source;
    const int flags =
        api::NPY_ARRAY_F_CONTIGUOUS_ | api::NPY_ARRAY_ALIGNED_ | api::NPY_ARRAY_ENSUREARRAY_;
    auto out = py::reinterpret_steal<py::array>(api::get().PyArray_FromAny_(
        source.ptr(), py::dtype::of<T>().release().ptr(), 0, 0, flags, nullptr));
    if (!out) throw py::error_already_set();
    return out;
}

// The numbers of a full double argument as the kernels read them, kept alive for the call.
struct Doubles {
    py::array storage;
    const double* data;
};

inline Doubles doubles(const Arg& a) {
    Doubles d{columnMajor<double>(a), nullptr};
    d.data = static_cast<const double*>(d.storage.data());
    return d;
}

// The strides of an image of element type T where it lies, in elements: those of its first
// dimension and of the columns that the others form together (a 1-D array is one column; an
// M x N x P array's N x P columns must follow one another at one stride). None when the kernels
// cannot read it in place: another element type or byte order, unaligned elements, strides that
// are not whole elements or 2^31 elements or more apart, or columns that no one stride reaches.
// The stride of a dimension of one element is never used and is taken as 1.
template <typename T>
std::optional<std::pair<int32_t, int32_t>> stridesInPlace(const py::array& source) {
    using api = py::detail::npy_api;
    if (!py::array_t<T>::check_(source) || (source.flags() & api::NPY_ARRAY_ALIGNED_) == 0)
        return {};
    const auto ndim = static_cast<std::size_t>(source.ndim());
    for (std::size_t k = 0; k < ndim; ++k)
        if (source.shape(k) == 0) return std::pair{1, 1};  // no element is read
    auto stride = [&](std::size_t k) -> std::optional<int32_t> {
        const py::ssize_t bytes = source.strides(k), elements = bytes / py::ssize_t{sizeof(T)};
        if (source.shape(k) == 1) return 1;
        if (bytes % py::ssize_t{sizeof(T)} != 0 || elements > INT32_MAX || elements < -INT32_MAX)
            return {};
        return static_cast<int32_t>(elements);
    };
    const std::optional<int32_t> rows = ndim > 0 ? stride(0) : 1;
    std::optional<int32_t> columns = 1;
    // Each later dimension of more than one element must start where the one before it ends.
    py::ssize_t next = 0;
    bool first = true;
    for (std::size_t k = 1; k < ndim && rows && columns; ++k) {
        if (source.shape(k) == 1) continue;
        if (first) {
            columns = stride(k);
            first = false;
        } else if (source.strides(k) != next) {
            return {};
        }
        next = source.strides(k) * source.shape(k);
    }
    if (!rows || !columns) return {};
    return std::pair{*rows, *columns};
}

// An image whose class checkImage has accepted, as the kernels read it: its elements in their own
// type, found by the kernels' element dispatch, where they lie (in any order and at any strides
// that stridesInPlace accepts), else copied once into column-major storage.
struct Image {
    py::array storage = noArray();  // keeps the elements alive while the kernel reads them
    mexgeom::ImageView view{};
};

inline Image image(const Arg& a) {
    Image im;
    im.view = {nullptr, static_cast<int32_t>(a.rows), static_cast<int32_t>(a.columns), *a.elements};
    mexgeom::withElements(im.view, [&](const auto* elements) {
        using T = std::remove_cvref_t<decltype(*elements)>;
        // The real part of a complex image is a view of every other number.
        const py::array source = a.complex ? py::array(a.array.attr("real")) : a.array;
        if (const auto strides = stridesInPlace<T>(source)) {
            im.storage = source;
            std::tie(im.view.rowStride, im.view.columnStride) = *strides;
        } else {
            im.storage = columnMajor<T>(a);
        }
    });
    im.view.elements = im.storage.data();
    return im;
}

// The element class and the size of an image, tested as patchcorr and stripfilt do; any class
// but the four an image may hold gets classMessage.
inline void checkImage(const Arg& a, const char* classMessage, const char* sparseMessage,
                       const char* sizeMessage) {
    if (!a.elements) typeError(classMessage);
    if (a.sparse) typeError(sparseMessage);
    if (a.rows > INT32_MAX || a.columns > INT32_MAX) valueError(sizeMessage);
}

// A new rows x columns array of doubles, column-major, zero-filled when asked; "Out of memory."
// when NumPy cannot make it.
inline py::array_t<double, py::array::f_style> createDoubles(std::size_t rows, std::size_t columns,
                                                             bool zeros = false) {
    using api = py::detail::npy_api;
    const Py_intptr_t dims[2] = {static_cast<Py_intptr_t>(rows), static_cast<Py_intptr_t>(columns)};
    auto out = py::reinterpret_steal<py::array_t<double, py::array::f_style>>(
        api::get().PyArray_NewFromDescr_(api::get().PyArray_Type_,
                                         py::dtype::of<double>().release().ptr(), 2, dims, nullptr,
                                         nullptr, api::NPY_ARRAY_F_CONTIGUOUS_, nullptr));
    if (!out) {
        // NumPy's MemoryError, or its ValueError for a size beyond its index range.
        if (!PyErr_ExceptionMatches(PyExc_MemoryError) && !PyErr_ExceptionMatches(PyExc_ValueError))
            throw py::error_already_set();
        PyErr_Clear();
        memoryError("Out of memory.");
    }
    if (zeros) std::fill_n(out.mutable_data(), rows * columns, 0.0);
    return out;
}

// text is a str equal to word.
inline bool isText(const py::handle text, const char* word) {
    return text && py::isinstance<py::str>(text) && text.cast<std::string>() == word;
}

// The call's arguments bound to the command's names, in order: first its inputs (by position or
// by name), then its keyword-only options. Returns how many inputs were given, or -1 when they are
// not the first ones of the list or more than it holds, which the command reports as a wrong
// number of inputs. Unknown or repeated names are Python's own TypeError.
inline int bind(const char* command, const py::args& args, const py::kwargs& kwargs,
                std::initializer_list<const char*> names, std::size_t inputs, py::object* slots) {
    if (args.size() > inputs) return -1;
    for (std::size_t k = 0; k < args.size(); ++k) slots[k] = args[k];
    for (const auto& [key, value] : kwargs) {
        const std::string name = py::str(key);
        std::size_t k = 0;
        while (k < names.size() && name != names.begin()[k]) ++k;
        const char* problem = k == names.size() ? "an unexpected keyword argument"
                              : slots[k]        ? "multiple values for argument"
                                                : nullptr;
        if (problem)
            throw py::type_error(std::string(command) + "() got " + problem + " '" + name + "'");
        slots[k] = py::reinterpret_borrow<py::object>(value);
    }
    std::size_t given = 0;
    while (given < inputs && slots[given]) ++given;
    for (std::size_t k = given; k < inputs; ++k)
        if (slots[k]) return -1;
    return static_cast<int>(given);
}

// The thread count of threads=: 1 when absent or None, every processor for 0 or "auto", else the
// number, at most mexgeom::kMaxThreads.
inline unsigned threadCount(const py::handle threads) {
    static const char* const message = "threads must be a non-negative integer or 'auto'.";
    if (!threads || threads.is_none()) return 1;
    if (py::isinstance<py::str>(threads)) {
        if (isText(threads, "auto")) return mexgeom::processorCount();
        valueError(message);
    }
    // Any integer (NumPy's too), but not True or False.
    if (PyBool_Check(threads.ptr()) || !PyIndex_Check(threads.ptr())) typeError(message);
    const auto n = py::reinterpret_steal<py::object>(PyNumber_Index(threads.ptr()));
    if (!n) throw py::error_already_set();
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(n.ptr(), &overflow);
    if (overflow > 0) return mexgeom::kMaxThreads;
    if (overflow < 0 || value < 0) valueError(message);
    if (value == 0) return mexgeom::processorCount();
    return static_cast<unsigned>(std::min<long long>(value, mexgeom::kMaxThreads));
}

}  // namespace pygate
