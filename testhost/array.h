// The test host's array and the per-call bookkeeping that its libmx keeps for the loader.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "matrix.h"

struct mxArray_tag {
    mxClassID cls = mxDOUBLE_CLASS;
    std::vector<mwSize> dims{0, 0};  // at least two entries
    bool complex = false;
    bool sparse = false;
    size_t storedElements = 0;  // elements held in re (and im): nzmax for a sparse array
    // Exactly sized heap blocks, so that a read past the end is seen by the sanitizers and
    // valgrind. An array with no stored element has no block at all.
    std::unique_ptr<std::byte[]> re;
    std::unique_ptr<std::byte[]> im;
    std::unique_ptr<mwIndex[]> ir;  // sparse row indexes, storedElements of them
    std::unique_ptr<mwIndex[]> jc;  // sparse column starts, columns + 1 of them
};

namespace testhost {

// Raised for mexErrMsgTxt and caught by the loader; it never reaches a command's caller.
class MexError : public std::runtime_error {
  public:
    explicit MexError(const std::string& text);
    ~MexError() override;
};

size_t elementSize(mxClassID cls);

// A new array of any class, zero-filled. Returns nullptr when the call's creation budget is spent.
mxArray* createArray(mxClassID cls, const std::vector<mwSize>& dims, bool complex);
// A sparse double (or logical) array whose storage holds nzmax elements.
mxArray* createSparse(mxClassID cls, mwSize m, mwSize n, mwSize nzmax, bool complex);

// Bookkeeping for one call through the loader: arrays created during the call (so the host can
// free what the command did not hand back) and how many more creations may succeed (-1: any).
// mexErrMsgTxt hands the error to raise, which the loader sets: the exception is then thrown by
// the C++ runtime of the program that catches it. (In the 32-bit test host every file carries a
// runtime of its own, and one runtime cannot unwind what another threw.)
struct CallState {
    long createBudget = -1;
    std::vector<mxArray*> created;
    void (*raise)(const char* text) = nullptr;
};

// What mxGetNaN returns: a NaN of the test host's own (quiet, with sign and payload), unless a
// program that stands in for another host sets that host's.
double& hostNaN();

// The call in progress on this thread, or nullptr outside a call.
CallState*& currentCall();

}  // namespace testhost
