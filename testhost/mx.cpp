// libmx of the test host: the array API over mxArray_tag.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "array.h"

namespace testhost {

double& hostNaN() {
    // Hosts differ in their NaN: MATLAB's carries the sign bit, Octave's is the compiler's quiet
    // NaN. The test host's differs from both (sign and a payload), so that a test can tell a
    // command that writes the host's NaN from one that makes its own.
    static double nan = std::bit_cast<double>(UINT64_C(0xFFF80000000BAD0D));
    return nan;
}

CallState*& currentCall() {
    static thread_local CallState* state = nullptr;
    return state;
}

size_t elementSize(mxClassID cls) {
    switch (cls) {
        case mxDOUBLE_CLASS:
        case mxINT64_CLASS:
        case mxUINT64_CLASS:
            return 8;
        case mxSINGLE_CLASS:
        case mxINT32_CLASS:
        case mxUINT32_CLASS:
            return 4;
        case mxINT16_CLASS:
        case mxUINT16_CLASS:
            return 2;
        case mxINT8_CLASS:
        case mxUINT8_CLASS:
        case mxLOGICAL_CLASS:
        case mxCHAR_CLASS:
            return 1;
        default:  // cells, structs and handles hold pointers
            return sizeof(void*);
    }
}

namespace {

bool spendBudget() {
    CallState* call = currentCall();
    if (call == nullptr || call->createBudget < 0) return true;
    if (call->createBudget == 0) return false;
    --call->createBudget;
    return true;
}

void remember(mxArray* a) {
    if (CallState* call = currentCall()) call->created.push_back(a);
}

std::unique_ptr<std::byte[]> zeroBlock(size_t bytes) {
    if (bytes == 0) return nullptr;
    return std::unique_ptr<std::byte[]>(new (std::nothrow) std::byte[bytes]());
}

// Element count of a dimension list, or SIZE_MAX when it overflows.
size_t product(const std::vector<mwSize>& dims) {
    size_t n = 1;
    for (mwSize d : dims) {
        if (d != 0 && n > std::numeric_limits<size_t>::max() / d) return SIZE_MAX;
        n *= d;
    }
    return n;
}

}  // namespace

mxArray* createArray(mxClassID cls, const std::vector<mwSize>& dims, bool complex) {
    if (!spendBudget()) return nullptr;
    auto a = std::make_unique<mxArray_tag>();
    a->cls = cls;
    a->dims = dims;
    while (a->dims.size() < 2) a->dims.push_back(a->dims.empty() ? 0 : 1);
    // Trailing singleton dimensions beyond the second are dropped, as the host does.
    while (a->dims.size() > 2 && a->dims.back() == 1) a->dims.pop_back();
    a->complex = complex;
    size_t n = product(a->dims);
    size_t size = elementSize(cls);
    if (n == SIZE_MAX || n > std::numeric_limits<size_t>::max() / size / 2) return nullptr;
    a->storedElements = n;
    a->re = zeroBlock(n * size);
    if (n != 0 && !a->re) return nullptr;
    if (complex) {
        a->im = zeroBlock(n * size);
        if (n != 0 && !a->im) return nullptr;
    }
    remember(a.get());
    return a.release();
}

mxArray* createSparse(mxClassID cls, mwSize m, mwSize n, mwSize nzmax, bool complex) {
    if (!spendBudget()) return nullptr;
    auto a = std::make_unique<mxArray_tag>();
    a->cls = cls;
    a->dims = {m, n};
    a->complex = complex;
    a->sparse = true;
    if (nzmax == 0) nzmax = 1;
    a->storedElements = nzmax;
    a->re = zeroBlock(nzmax * elementSize(cls));
    if (complex) a->im = zeroBlock(nzmax * elementSize(cls));
    a->ir = std::make_unique<mwIndex[]>(nzmax);
    a->jc = std::make_unique<mwIndex[]>(n + 1);
    remember(a.get());
    return a.release();
}

MexError::MexError(const std::string& text) : std::runtime_error(text) {}
MexError::~MexError() = default;

}  // namespace testhost

using testhost::createArray;

extern "C" {

size_t mxGetM(const mxArray* a) {
    return a->dims[0];
}

size_t mxGetN(const mxArray* a) {
    size_t n = 1;
    for (size_t i = 1; i < a->dims.size(); ++i) n *= a->dims[i];
    return n;
}

mwSize mxGetNumberOfDimensions(const mxArray* a) {
    return a->dims.size();
}
const mwSize* mxGetDimensions(const mxArray* a) {
    return a->dims.data();
}
size_t mxGetNumberOfElements(const mxArray* a) {
    return a->dims[0] * mxGetN(a);
}
size_t mxGetElementSize(const mxArray* a) {
    return testhost::elementSize(a->cls);
}

mxClassID mxGetClassID(const mxArray* a) {
    return a->cls;
}
bool mxIsDouble(const mxArray* a) {
    return a->cls == mxDOUBLE_CLASS;
}
bool mxIsUint8(const mxArray* a) {
    return a->cls == mxUINT8_CLASS;
}
bool mxIsChar(const mxArray* a) {
    return a->cls == mxCHAR_CLASS;
}
bool mxIsEmpty(const mxArray* a) {
    return mxGetNumberOfElements(a) == 0;
}
bool mxIsSparse(const mxArray* a) {
    return a->sparse;
}
bool mxIsComplex(const mxArray* a) {
    return a->complex;
}

// Like the real host, which aborts the whole session when asked for the storage of a function
// handle or an object: a command must test the class first.
static void requireStorage(const mxArray* a, const char* operation) {
    if (a->cls == mxFUNCTION_CLASS || a->cls == mxUNKNOWN_CLASS) {
        std::fprintf(stderr, "%s of an array without element storage: the host aborts\n",
                     operation);
        std::abort();
    }
}

double* mxGetPr(const mxArray* a) {
    requireStorage(a, "mxGetPr");
    return reinterpret_cast<double*>(a->re.get());
}
double* mxGetPi(const mxArray* a) {
    requireStorage(a, "mxGetPi");
    return reinterpret_cast<double*>(a->im.get());
}
void* mxGetData(const mxArray* a) {
    requireStorage(a, "mxGetData");
    return a->re.get();
}

int mxGetString(const mxArray* a, char* buf, mwSize buflen) {
    if (a->cls != mxCHAR_CLASS || a->sparse) return 1;
    size_t n = a->storedElements;
    if (buf == nullptr || n + 1 > buflen) return 1;
    if (n != 0) std::memcpy(buf, a->re.get(), n);
    buf[n] = '\0';
    return 0;
}

mxArray* mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag) {
    return createArray(mxDOUBLE_CLASS, {m, n}, flag == mxCOMPLEX);
}

mxArray* mxCreateNumericMatrix(mwSize m, mwSize n, mxClassID cls, mxComplexity flag) {
    return createArray(cls, {m, n}, flag == mxCOMPLEX);
}

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID cls, mxComplexity flag) {
    return createArray(cls, std::vector<mwSize>(dims, dims + ndim), flag == mxCOMPLEX);
}

mxArray* mxCreateString(const char* text) {
    size_t n = std::strlen(text);
    mxArray* a = createArray(mxCHAR_CLASS, {n == 0 ? mwSize{0} : mwSize{1}, n}, false);
    if (a != nullptr && n != 0) std::memcpy(a->re.get(), text, n);
    return a;
}

mxArray* mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag) {
    return testhost::createSparse(mxDOUBLE_CLASS, m, n, nzmax, flag == mxCOMPLEX);
}

void mxDestroyArray(mxArray* a) {
    if (testhost::CallState* call = testhost::currentCall()) std::erase(call->created, a);
    delete a;
}

double mxGetNaN(void) {
    return testhost::hostNaN();
}
double mxGetInf(void) {
    return std::numeric_limits<double>::infinity();
}
bool mxIsNaN(double x) {
    return std::isnan(x);
}

}  // extern "C"
