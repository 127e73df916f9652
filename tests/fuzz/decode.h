// Turns fuzz bytes into host arrays of every kind: any class, 2 to 4 dimensions including zero
// sizes, complex or sparse storage, and element values drawn from the awkward ones (NaN, the
// infinities, -0, denormals, huge numbers, 32-bit limits) as well as small and raw numbers.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "array.h"
#include "loader.h"

namespace fuzz {

class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : p_(data), n_(size) {}
    uint8_t byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }
    bool empty() const { return n_ == 0; }
    double raw() {
        uint8_t b[8] = {};
        for (uint8_t& x : b) x = byte();
        double v;
        std::memcpy(&v, b, sizeof v);
        return v;
    }

  private:
    const uint8_t* p_;
    size_t n_;
};

inline double number(Bytes& in) {
    static constexpr double kSpecial[] = {
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        -0.0,
        0.0,
        1.0,
        -1.0,
        0.5,
        1e300,
        -1e300,
        std::numeric_limits<double>::denorm_min(),
        2147483648.0,   // 2^31
        -2147483649.0,  // below the 32-bit range
        1e9,
        134217728.0,  // 2^27
        -1234567.0,   // the outside marker of stripfilt
    };
    const uint8_t sel = in.byte();
    if (sel < 16) return kSpecial[sel];
    if (sel < 200) return (static_cast<int>(sel) - 100) / 4.0;
    return in.raw();
}

inline testhost::Array array(Bytes& in) {
    static constexpr mxClassID kClasses[] = {
        mxDOUBLE_CLASS, mxDOUBLE_CLASS,   mxDOUBLE_CLASS,  mxDOUBLE_CLASS, mxDOUBLE_CLASS,
        mxUINT8_CLASS,  mxUINT8_CLASS,    mxSINGLE_CLASS,  mxINT8_CLASS,   mxINT16_CLASS,
        mxINT32_CLASS,  mxUINT64_CLASS,   mxLOGICAL_CLASS, mxCHAR_CLASS,   mxCELL_CLASS,
        mxSTRUCT_CLASS, mxFUNCTION_CLASS, mxUNKNOWN_CLASS};  // a function handle and an object
    const mxClassID cls = kClasses[in.byte() % 18];
    const uint8_t flags = in.byte();
    const bool complex = (flags & 1) != 0 && cls != mxCHAR_CLASS && cls != mxLOGICAL_CLASS;
    const bool sparse = (flags & 2) != 0 && (cls == mxDOUBLE_CLASS || cls == mxLOGICAL_CLASS);
    std::vector<mwSize> dims(sparse ? 2 : 2 + (flags >> 2) % 3);
    size_t count = 1;
    for (mwSize& d : dims) {
        d = in.byte() % 24;
        if (count * d > 4096) d = 1;  // keep each call small, so the fuzzer stays fast
        count *= d;
    }
    mxArray* a = sparse ? testhost::createSparse(cls, dims[0], dims[1], in.byte() % 4, complex)
                        : testhost::createArray(cls, dims, complex);
    if (a == nullptr) return nullptr;
    testhost::Array owned(a);
    const size_t n = a->storedElements;
    if (cls == mxDOUBLE_CLASS) {
        auto* re = reinterpret_cast<double*>(a->re.get());
        for (size_t i = 0; i < n && !in.empty(); ++i) re[i] = number(in);
        if (complex && n != 0) reinterpret_cast<double*>(a->im.get())[0] = number(in);
    } else if (cls != mxCELL_CLASS && cls != mxSTRUCT_CLASS && cls != mxFUNCTION_CLASS &&
               cls != mxUNKNOWN_CLASS) {
        auto* bytes = reinterpret_cast<uint8_t*>(a->re.get());
        for (size_t i = 0; i < n * testhost::elementSize(cls) && !in.empty(); ++i)
            bytes[i] = in.byte();
    }
    return owned;
}

}  // namespace fuzz
