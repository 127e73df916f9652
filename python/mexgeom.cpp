// The compiled part of the Python package mexgeom (mexgeom._core), which the package's functions
// call once they have converted the arguments as NumPy users expect (python/mexgeom/__init__.py).
// One gateway per command, each reading as the command's MEX gateway does: the count, then each
// input in the command's order, then the output, then the batch kernel with the GIL released, in
// slices between which Ctrl-C is answered (slices.h). Arguments are converted (to column-major
// numbers) only after every test has passed, and at most once per call; arrays.h says how. Images
// may hold two element types more than the commands take, float32 and uint16, and their class
// message names all four.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "arrays.h"
#include "cross.h"
#include "hesse_rows.h"
#include "imgraduv.h"
#include "imgraduv_shares.h"
#include "ncc.h"
#include "ncc_shares.h"
#include "obj.h"
#include "slices.h"

namespace pygate {
namespace {

// The first slice of the calls that run on the calling thread alone: some 0.1 ms of work.
constexpr std::size_t kCamerasPerSlice = 2048, kPairsPerSlice = 16384, kLinesPerSlice = 16384;

// A wrong number of inputs, in the command's words.
[[noreturn]] void countError(const char* message) {
    typeError(message);
}

py::object patchcorr(const py::args& args, const py::kwargs& kwargs) {
    enum { IN_X, IN_Y, IN_H, IN_W, IN_U, IN_METHOD, OPT_THREADS, SLOTS };
    py::object in[SLOTS];
    const int nrhs = bind("patchcorr", args, kwargs, {"X", "Y", "H", "W", "u", "method", "threads"},
                          OPT_THREADS, in);
    if (nrhs < 5 || nrhs > 6) countError("Bad number of input parameters.");
    const unsigned threads = threadCount(in[OPT_THREADS]);

    const Arg X = describe(in[IN_X]);
    checkImage(X, "X must be float64, float32, uint16 or uint8.", "X must not be sparse.",
               "X is too large.");
    const Arg Y = describe(in[IN_Y]);
    checkImage(Y, "Y must be float64, float32, uint16 or uint8.", "Y must not be sparse.",
               "Y is too large.");

    const Arg H = describe(in[IN_H]);
    if (H.rows != 3 || H.columns != 3) valueError("H must be 3x3 matrix.");
    if (!H.isFullDouble()) typeError("H must be a full double matrix.");

    const Arg W = describe(in[IN_W]);
    if (W.rows != 3) valueError("W must have 3 rows.");
    if (!W.isFullDouble()) typeError("W must be a full double matrix.");
    if (W.columns > INT32_MAX) valueError("W has too many columns.");
    const int32_t nW = static_cast<int32_t>(W.columns);

    const Arg u = describe(in[IN_U]);
    const std::size_t K = u.columns;
    const int mode = nrhs > IN_METHOD && isText(in[IN_METHOD], "nearest") ? patchcorr::kNearest
                                                                          : patchcorr::kBilinear;

    // An empty point list gets its row of zeros; its row count is never looked at.
    auto scores = createDoubles(1, K, u.empty());
    if (u.empty()) return scores;
    if (u.rows != 2) valueError("Bad size of u.");
    if (!u.isFullDouble()) typeError("u must be a full double matrix.");

    const Image x = image(X), y = image(Y);
    const Doubles h = doubles(H), w = doubles(W), p = doubles(u);
    double* out = scores.mutable_data();
    shareReleased(
        K, patchcorr::pointsPerThread(nW), threads, [&](std::size_t begin, std::size_t end) {
            patchcorr::scoreAll(x.view, y.view, p.data + 2 * begin, end - begin, h.data, w.data, nW,
                                mode, std::numeric_limits<double>::quiet_NaN(), out + begin);
        });
    return scores;
}

// The array holds at least perCamera * N numbers, tested without forming the product.
bool holdsPerCamera(const Arg& a, std::size_t perCamera, std::size_t N) {
    return a.count() / perCamera >= N;
}

py::object pluckresid(const py::args& args, const py::kwargs& kwargs) {
    enum { IN_X, IN_A, IN_T, IN_E, OPT_JACOBIAN, SLOTS };
    py::object in[SLOTS];
    const int nrhs =
        bind("pluckresid", args, kwargs, {"x", "A", "T", "E", "jacobian"}, OPT_JACOBIAN, in);
    if (nrhs != 4) countError("4 inputs required.");
    const bool jacobian = in[OPT_JACOBIAN] && py::bool_(in[OPT_JACOBIAN]);

    const Arg x = describe(in[IN_X]);
    const Arg A = describe(in[IN_A]);
    const Arg T = describe(in[IN_T]);
    const Arg E = describe(in[IN_E]);
    // The camera count is E's second dimension (2 x N x 2); the other inputs must match it.
    const std::size_t N = E.second;

    if (!x.isFullDouble()) typeError("x must be a full double array.");
    if (x.count() < 4) valueError("x must have at least 4 elements.");
    if (!A.isFullDouble()) typeError("A must be a full double array.");
    if (!holdsPerCamera(A, 18, N)) valueError("A must have at least 18N elements.");
    if (!T.isFullDouble()) typeError("T must be a full double array.");
    if (T.count() < 24) valueError("T must have at least 24 elements.");
    if (!E.isFullDouble()) typeError("E must be a full double array.");
    if (!holdsPerCamera(E, 4, N)) valueError("E must have at least 4N elements.");
    if (N > INT32_MAX) valueError("E has too many columns.");

    auto r = createDoubles(2 * N, 1);
    auto J = noArray<py::array_t<double, py::array::f_style>>();
    if (jacobian) J = createDoubles(2 * N, 4);

    const Doubles xs = doubles(x), As = doubles(A), Ts = doubles(T), Es = doubles(E);
    double* rp = r.mutable_data();
    double* Jp = jacobian ? J.mutable_data() : nullptr;
    // Cameras begin to end - 1 fill rows 2 begin to 2 end - 1 of r and J.
    sliced(N, kCamerasPerSlice, N, [&](std::size_t begin, std::size_t end) {
        const double* first = Es.data + 2 * begin;
        const double* second = Es.data + 2 * N + 2 * begin;
        const double* Ai = As.data + 18 * begin;
        const auto n = static_cast<int32_t>(end - begin);
        if (jacobian)
            pluckresid::objJacobian(rp + 2 * begin, Jp + 2 * begin, 2 * N, xs.data, Ai, Ts.data,
                                    first, second, n);
        else
            pluckresid::obj(rp + 2 * begin, xs.data, Ai, Ts.data, first, second, n);
    });
    if (jacobian) return py::make_tuple(r, J);
    return r;
}

// stripfilt's test of u1 and u2, which one message answers: 2-D, double, 2 rows. An element class
// it fails is a TypeError, a size a ValueError.
void checkEnds(const Arg& u) {
    static const char* const message = "Bad size(s) of u1, u2.";
    if (u.dimensions != 2) valueError(message);
    if (!u.isDouble()) typeError(message);
    if (u.rows != 2) valueError(message);
}

py::object stripfilt(const py::args& args, const py::kwargs& kwargs) {
    enum { IN_I, IN_H, IN_U1, IN_U2, OPT_THREADS, SLOTS };
    py::object in[SLOTS];
    const int nrhs =
        bind("stripfilt", args, kwargs, {"I", "h", "u1", "u2", "threads"}, OPT_THREADS, in);
    if (nrhs != 4) countError("Bad number of input arguments.");
    const unsigned threads = threadCount(in[OPT_THREADS]);

    const Arg I = describe(in[IN_I]);
    if (I.dimensions != 2) valueError("I must be 2D array.");
    checkImage(I, "I must be float64, float32, uint16 or uint8.", "I must not be sparse.",
               "I is too large.");

    const Arg h = describe(in[IN_H]);
    if (!h.isDouble()) typeError("h must be double vector.");
    const std::size_t T = h.count();
    if (T % 2 == 0) valueError("Vector h must have odd length.");
    if (h.sparse) typeError("h must not be sparse.");
    // The kernel counts taps and offsets in 32 bits.
    if (T > INT32_MAX) valueError("h is too long.");
    const auto m = static_cast<int32_t>((T - 1) / 2);

    const Arg u1 = describe(in[IN_U1]);
    const Arg u2 = describe(in[IN_U2]);
    checkEnds(u1);
    checkEnds(u2);
    if (u1.columns != u2.columns) valueError("Bad size(s) of u1, u2.");
    if (u1.sparse) typeError("u1 must not be sparse.");
    if (u2.sparse) typeError("u2 must not be sparse.");
    const std::size_t K = u1.columns;

    auto responses = createDoubles(1, K);

    const Image picture = image(I);
    const Doubles taps = doubles(h), p1 = doubles(u1), p2 = doubles(u2);
    double* out = responses.mutable_data();
    shareReleased(K, stripfilt::segmentsPerThread(T), threads,
                  [&](std::size_t begin, std::size_t end) {
                      stripfilt::filterAll(picture.view, taps.data, m, p1.data + 2 * begin,
                                           p2.data + 2 * begin, end - begin, out + begin);
                  });
    return responses;
}

py::object xprod3(const py::args& args, const py::kwargs& kwargs) {
    enum { IN_A, IN_B, SLOTS };
    py::object in[SLOTS];
    int nrhs = bind("xprod3", args, kwargs, {"A", "B"}, SLOTS, in);
    if (nrhs == 2 && in[IN_B].is_none()) nrhs = 1;  // B=None: the one-input form
    if (nrhs != 1 && nrhs != 2) countError("One or two input arguments required.");

    const Arg A = describe(in[IN_A]);
    const std::size_t M = A.rows, N = A.columns;
    if (M == 0 || N == 0) return createDoubles(M, N);

    if (nrhs == 1) {
        if (M != 3 || N != 2) valueError("Input must be 3x2 vector.");
        if (!A.isFullDouble()) typeError("Input must be a full double matrix.");
        auto c = createDoubles(3, 1);
        const Doubles p = doubles(A);
        xprod3::crossColumns(p.data, p.data + 3, c.mutable_data(), 1);
        return c;
    }

    const Arg B = describe(in[IN_B]);
    if (M != 3 || B.rows != 3 || B.columns != N) valueError("Wrong size of input vectors.");
    if (!A.isFullDouble()) typeError("A must be a full double matrix.");
    if (!B.isFullDouble()) typeError("B must be a full double matrix.");
    auto C = createDoubles(3, N);
    const Doubles a = doubles(A), b = doubles(B);
    double* out = C.mutable_data();
    sliced(N, kPairsPerSlice, N, [&](std::size_t begin, std::size_t end) {
        xprod3::crossColumns(a.data + 3 * begin, b.data + 3 * begin, out + 3 * begin, end - begin);
    });
    return C;
}

py::object hesseform(const py::args& args, const py::kwargs& kwargs) {
    enum { IN_L, SLOTS };
    py::object in[SLOTS];
    if (bind("hesseform", args, kwargs, {"L"}, SLOTS, in) != 1) countError("One input required.");

    const Arg L = describe(in[IN_L]);
    const std::size_t M = L.rows, N = L.columns;
    if (M == 0 || N == 0) return createDoubles(M, N);
    if (N != 3) valueError("Input must be Mx3 matrix.");
    if (!L.isFullDouble()) typeError("Input must be a full double matrix.");

    auto Q = createDoubles(M, 3);
    const Doubles p = doubles(L);
    double* out = Q.mutable_data();
    sliced(M, kLinesPerSlice, M, [&](std::size_t begin, std::size_t end) {
        hesseform::hesseRows(p.data + begin, out + begin, end - begin, M);
    });
    return Q;
}

}  // namespace
}  // namespace pygate

PYBIND11_MODULE(_core, m) {
    m.doc() = "The compiled gateways of the package mexgeom, whose functions call them.";
    m.def("patchcorr", &pygate::patchcorr, "patchcorr(X, Y, H, W, u[, method], threads=1)");
    m.def("pluckresid", &pygate::pluckresid, "pluckresid(x, A, T, E, jacobian=False)");
    m.def("stripfilt", &pygate::stripfilt, "stripfilt(I, h, u1, u2, threads=1)");
    m.def("xprod3", &pygate::xprod3, "xprod3(A[, B])");
    m.def("hesseform", &pygate::hesseform, "hesseform(L)");
    m.attr("__version__") = MEXGEOM_VERSION;
}
