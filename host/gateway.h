// The checks that every gateway shares. Each answers one question about a host array, so a
// gateway reads as the list of its tests in the order they must happen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "image.h"
#include "mex.h"

namespace gateway {

// Reports the message as the call's error. The host never returns from mexErrMsgTxt; the abort
// only tells the compiler so, and is never reached.
[[noreturn]] inline void fail(const char* message) {
    mexErrMsgTxt(message);
    std::abort();
}

// Double class with full (not sparse) storage; a complex array qualifies, its real part is read.
inline bool isFullDouble(const mxArray* a) {
    return mxIsDouble(a) && !mxIsSparse(a);
}

// The array's storage holds at least n elements.
inline bool holdsAtLeast(const mxArray* a, std::size_t n) {
    return static_cast<std::size_t>(mxGetNumberOfElements(a)) >= n;
}

// Rows and columns both fit the 32-bit signed size pair that the kernels take.
inline bool fitsSizePair(const mxArray* a) {
    return static_cast<std::size_t>(mxGetM(a)) <= INT32_MAX &&
           static_cast<std::size_t>(mxGetN(a)) <= INT32_MAX;
}

// What an image input is told when it is not one, each naming the input by its letter.
struct ImageMessages {
    const char* notDoubleOrUint8;
    const char* sparse;
    const char* tooLarge;
};

// A double or uint8 image as the kernels' view of it, with its class, then sparse storage, then
// its size tested (rows and columns must fit the view). The class comes first, before the storage
// is asked for: the host aborts when asked for the storage of a function handle or an object.
inline mexgeom::ImageView readImage(const mxArray* a, const ImageMessages& messages) {
    mexgeom::Element element;
    switch (mxGetClassID(a)) {
        case mxDOUBLE_CLASS:
            element = mexgeom::Element::kDouble;
            break;
        case mxUINT8_CLASS:
            element = mexgeom::Element::kUint8;
            break;
        default:
            fail(messages.notDoubleOrUint8);
    }
    if (mxIsSparse(a)) fail(messages.sparse);
    if (!fitsSizePair(a)) fail(messages.tooLarge);
    return {mxGetData(a), static_cast<int32_t>(mxGetM(a)), static_cast<int32_t>(mxGetN(a)),
            element};
}

// A new real m x n double array, zero-filled. When the host cannot make it, the call ends with
// "Out of memory." and nothing is written.
inline mxArray* createDoubles(std::size_t m, std::size_t n) {
    mxArray* a = mxCreateDoubleMatrix(static_cast<mwSize>(m), static_cast<mwSize>(n), mxREAL);
    if (a == nullptr) fail("Out of memory.");
    return a;
}

}  // namespace gateway
