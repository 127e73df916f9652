// mexgeom_bench: the kernels called directly from C++, for bench/bench_python.py to time the Python
// module against. Each function makes `calls` calls of one command's kernel on arrays the script
// has already laid out column-major (a NumPy array in Fortran order, float64 or, for images,
// uint8, float32 or uint16), into output arrays the script made once beforehand with NumPy (so that
// they lie in memory of the same kind as the module's outputs), on the calling thread with the GIL
// released, and returns the seconds they took together.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "arrays.h"
#include "cross.h"
#include "hesse_rows.h"
#include "imgraduv.h"
#include "ncc.h"
#include "obj.h"

namespace py = pybind11;

namespace {

using Doubles = py::array_t<double, py::array::f_style>;

// The storage of an array the script laid out for the kernel; anything else is its mistake.
const void* storage(const py::array& a) {
    if ((a.flags() & py::array::f_style) == 0) throw py::value_error("not in Fortran order");
    return a.data();
}

// An image, its element type read from its dtype as the module reads it.
mexgeom::ImageView view(const py::array& image) {
    if (image.ndim() != 2) throw py::value_error("an image must be 2-D");
    const pygate::Class element = pygate::detail::classOf(image.dtype());
    if (!element || image.dtype().kind() == 'c') throw py::value_error("not an image type");
    return {storage(image), static_cast<int32_t>(image.shape(0)),
            static_cast<int32_t>(image.shape(1)), *element};
}

const double* numbers(const Doubles& a) {
    return static_cast<const double*>(storage(a));
}

// An output of at least n doubles.
double* output(Doubles& a, std::size_t n) {
    if (static_cast<std::size_t>(a.size()) < n) throw py::value_error("output too small");
    return a.mutable_data();
}

}  // namespace

// The kernels called directly, one function per command.
namespace direct {
namespace {

template <typename Call>
double seconds(int calls, const Call& call) {
    py::gil_scoped_release release;
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < calls; ++k) call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double patchcorr(const py::array& X, const py::array& Y, const Doubles& H, const Doubles& W,
                 const Doubles& u, bool nearest, Doubles out, int calls) {
    const mexgeom::ImageView x = view(X), y = view(Y);
    const auto K = static_cast<std::size_t>(u.size() / 2);
    const auto nW = static_cast<int32_t>(W.size() / 3);
    double* scores = output(out, K);
    const int mode = nearest ? patchcorr::kNearest : patchcorr::kBilinear;
    return seconds(calls, [&] {
        patchcorr::scoreAll(x, y, numbers(u), K, numbers(H), numbers(W), nW, mode,
                            std::numeric_limits<double>::quiet_NaN(), scores);
    });
}

double stripfilt(const py::array& I, const Doubles& h, const Doubles& u1, const Doubles& u2,
                 Doubles out, int calls) {
    const mexgeom::ImageView image = view(I);
    const auto K = static_cast<std::size_t>(u1.size() / 2);
    double* responses = output(out, K);
    const auto m = static_cast<int32_t>((h.size() - 1) / 2);
    return seconds(calls, [&] {
        stripfilt::filterAll(image, numbers(h), m, numbers(u1), numbers(u2), K, responses);
    });
}

double pluckresid(const Doubles& x, const Doubles& A, const Doubles& T, const Doubles& E,
                  bool jacobian, Doubles rOut, Doubles JOut, int calls) {
    const auto N = static_cast<int32_t>(E.size() / 4);
    double* r = output(rOut, 2 * static_cast<std::size_t>(N));
    double* J = output(JOut, jacobian ? 8 * static_cast<std::size_t>(N) : 0);
    return seconds(calls, [&] {
        if (jacobian)
            pluckresid::objJacobian(r, J, numbers(x), numbers(A), numbers(T), numbers(E), N);
        else
            pluckresid::obj(r, numbers(x), numbers(A), numbers(T), numbers(E), N);
    });
}

double xprod3(const Doubles& A, const Doubles& B, Doubles out, int calls) {
    const auto n = static_cast<std::size_t>(A.size() / 3);
    double* C = output(out, 3 * n);
    return seconds(calls, [&] { xprod3::crossColumns(numbers(A), numbers(B), C, n); });
}

double hesseform(const Doubles& L, Doubles out, int calls) {
    const auto M = static_cast<std::size_t>(L.size() / 3);
    double* Q = output(out, 3 * M);
    return seconds(calls, [&] { hesseform::hesseRows(numbers(L), Q, M); });
}

}  // namespace
}  // namespace direct

PYBIND11_MODULE(mexgeom_bench, m) {
    m.def("patchcorr", &direct::patchcorr);
    m.def("stripfilt", &direct::stripfilt);
    m.def("pluckresid", &direct::pluckresid);
    m.def("xprod3", &direct::xprod3);
    m.def("hesseform", &direct::hesseform);
}
