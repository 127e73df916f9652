// make_seeds DIR: writes the seed corpus, one file per interesting call of each command, in the
// byte format that decode.h reads (DIR/COMMAND/NAME).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Class bytes as decode.h maps them.
enum : uint8_t { kDouble = 0, kUint8 = 5, kSingle = 7, kLogical = 12, kChar = 13 };

struct Arr {
    uint8_t cls;
    std::vector<uint8_t> dims;
    std::vector<double> values;  // used as numbers for double, as bytes otherwise
    bool sparse = false;
};

void put(std::vector<uint8_t>& out, double v) {
    const double q = v * 4 + 100;
    if (q >= 16 && q < 200 && q == std::floor(q)) {
        out.push_back(static_cast<uint8_t>(q));
        return;
    }
    out.push_back(255);
    uint8_t b[8];
    std::memcpy(b, &v, 8);
    out.insert(out.end(), b, b + 8);
}

std::vector<uint8_t> encode(int nlhs, const std::vector<Arr>& arrays) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(nlhs), static_cast<uint8_t>(arrays.size()), 1};
    for (const Arr& a : arrays) {
        out.push_back(a.cls);
        out.push_back(static_cast<uint8_t>((a.sparse ? 2 : 0) | ((a.dims.size() - 2) << 2)));
        out.insert(out.end(), a.dims.begin(), a.dims.end());
        if (a.sparse) out.push_back(1);
        size_t n = 1;
        for (uint8_t d : a.dims) n *= d;
        for (size_t i = 0; i < n; ++i) {
            const double v = i < a.values.size() ? a.values[i] : 0;
            if (a.cls == kDouble)
                put(out, v);
            else
                out.push_back(static_cast<uint8_t>(v));
        }
    }
    return out;
}

Arr ramp(uint8_t cls, uint8_t rows, uint8_t cols) {
    Arr a{cls, {rows, cols}, {}};
    for (int i = 0; i < rows * cols; ++i) a.values.push_back((i * 37) % 50);
    return a;
}

Arr text(const std::string& s) {
    Arr a{kChar, {1, static_cast<uint8_t>(s.size())}, {}};
    for (char c : s) a.values.push_back(static_cast<unsigned char>(c));
    return a;
}

Arr d(std::vector<uint8_t> dims, std::vector<double> v) {
    return {kDouble, std::move(dims), std::move(v)};
}

void write(const std::string& dir, const std::string& command, const std::string& name, int nlhs,
           const std::vector<Arr>& arrays) {
    std::filesystem::create_directories(dir + "/" + command);
    std::ofstream f(dir + "/" + command + "/" + name, std::ios::binary);
    const std::vector<uint8_t> bytes = encode(nlhs, arrays);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const Arr H = d({3, 3}, {1, 0, 0, 0, 1, 0, 0.5, 0, 1});
    const Arr W = d({3, 3}, {0, 0, 1, 0.5, 0, 1, 1, 0, 1});
    const Arr u = d({2, 2}, {3, 3, 4, 5});
    write(dir, "patchcorr", "bilinear", 1, {ramp(kDouble, 9, 9), ramp(kDouble, 9, 9), H, W, u});
    write(dir, "patchcorr", "nearest_uint8", 1,
          {ramp(kUint8, 9, 9), ramp(kDouble, 9, 9), H, W, u, text("nearest")});
    write(dir, "patchcorr", "empty_u", 0,
          {ramp(kDouble, 9, 9), ramp(kUint8, 9, 9), H, W, d({0, 5}, {})});
    write(dir, "patchcorr", "sparse_h", 1,
          {ramp(kDouble, 9, 9), ramp(kDouble, 9, 9), Arr{kDouble, {3, 3}, {1}, true}, W, u});

    // The worked example of pluckresid: x, A (6x3x2), T (3x4x2), E (2x2x2).
    const Arr x = d({4, 1}, {1, 2, 3, 4});
    const Arr A = d({6, 3, 2}, {1, -1, 0, 0, 0, 0, 0,  0, -2, 0, 0, 0, 0, 0, 0, 0,  0, -5,
                                0, 0,  0, 0, 0, 0, -1, 0, 0,  0, 0, 0, 0, 0, 0, -3, 0, 0});
    const Arr T =
        d({3, 4, 2}, {0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0});
    const Arr E = d({2, 2, 2}, {1, 3, 7, 2, -3, 1, 0, 5});
    write(dir, "pluckresid", "worked_example", 1, {x, A, T, E});
    write(dir, "pluckresid", "with_jacobian", 2, {x, A, T, E});
    write(dir, "pluckresid", "plain_2xN_E", 2, {x, A, T, d({2, 2}, {1, 3, 7, 2})});
    write(dir, "pluckresid", "no_cameras", 2, {x, d({6, 3}, {}), T, d({2, 0, 2}, {})});

    const Arr taps = d({1, 3}, {1, 0, -1});
    write(dir, "stripfilt", "horizontal", 1,
          {ramp(kDouble, 12, 12), taps, d({2, 2}, {5, 3, 2, 2}), d({2, 2}, {5, 6, 9, 9})});
    write(dir, "stripfilt", "uint8_one_tap", 1,
          {ramp(kUint8, 12, 12), d({1, 1}, {1}), d({2, 1}, {1, 1}), d({2, 1}, {1, 8})});
    write(dir, "stripfilt", "huge_segment", 1,
          {ramp(kDouble, 12, 12), taps, d({2, 1}, {1, 1}), d({2, 1}, {1e9, 1e9})});
    write(dir, "stripfilt", "nan_end", 1,
          {ramp(kDouble, 12, 12), taps, d({2, 1}, {NAN, 1}), d({2, 1}, {3, 4})});

    write(dir, "xprod3", "one_input", 1, {d({3, 2}, {1, 0, 0, 0, 1, 0})});
    write(dir, "xprod3", "two_inputs", 1,
          {d({3, 3}, {1, 2, 3, 4, 5, 6, 7, 8, 9}), d({3, 3}, {9, 8, 7, 6, 5, 4, 3, 2, 1})});
    write(dir, "xprod3", "empty_first", 1, {d({0, 4}, {}), Arr{kLogical, {2, 2}, {1, 1, 1, 1}}});
    write(dir, "xprod3", "single_input", 1, {Arr{kSingle, {3, 2}, {1, 2, 3, 4, 5, 6}}});

    write(dir, "hesseform", "lines", 1, {d({3, 3}, {3, -3, 0, 4, -4, 0, 10, 5, 1})});
    write(dir, "hesseform", "empty", 0, {d({0, 7}, {})});
    write(dir, "hesseform", "wide", 1, {d({3, 5}, {})});
    write(dir, "hesseform", "uint8", 1, {Arr{kUint8, {2, 3}, {1, 2, 3, 4, 5, 6}}});
    return 0;
}
