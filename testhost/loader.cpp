#include "loader.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "array.h"

namespace testhost {

namespace {

// Opening a MEX file, finding its entry points and closing it: LoadLibrary on Windows, dlopen
// everywhere else.
#ifdef _WIN32
void* openLibrary(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    return LoadLibraryA(native.c_str());
}
void* entry(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
std::string loadError(const std::string& path) {
    return path + ": error " + std::to_string(GetLastError());
}
#else
void* openLibrary(const std::string& path) {
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* entry(void* handle, const char* name) {
    return dlsym(handle, name);
}
void closeLibrary(void* handle) {
    dlclose(handle);
}
std::string loadError(const std::string& path) {
    return path + ": " + dlerror();
}
#endif

Array make(mxArray* a) {
    if (a == nullptr) throw std::runtime_error("the test host could not create an input array");
    return Array(a);
}

std::vector<std::byte> snapshot(const mxArray* a) {
    size_t bytes = a->storedElements * elementSize(a->cls);
    std::vector<std::byte> copy(bytes);
    if (bytes != 0) std::memcpy(copy.data(), a->re.get(), bytes);
    if (a->im && bytes != 0) {
        copy.resize(2 * bytes);
        std::memcpy(copy.data() + bytes, a->im.get(), bytes);
    }
    return copy;
}

}  // namespace

Array doubles(size_t m, size_t n, const std::vector<double>& values) {
    return doublesNd({m, n}, values);
}

Array doublesNd(const std::vector<size_t>& dims, const std::vector<double>& values) {
    Array a =
        make(createArray(mxDOUBLE_CLASS, std::vector<mwSize>(dims.begin(), dims.end()), false));
    size_t n = std::min(values.size(), a->storedElements);
    if (n != 0) std::memcpy(a->re.get(), values.data(), n * sizeof(double));
    return a;
}

Array complexDoubles(size_t m, size_t n, const std::vector<double>& re,
                     const std::vector<double>& im) {
    Array a = make(createArray(mxDOUBLE_CLASS, {m, n}, true));
    size_t count = a->storedElements;
    if (count != 0) {
        std::memcpy(a->re.get(), re.data(), std::min(count, re.size()) * sizeof(double));
        std::memcpy(a->im.get(), im.data(), std::min(count, im.size()) * sizeof(double));
    }
    return a;
}

Array uint8s(size_t m, size_t n, const std::vector<uint8_t>& values) {
    Array a = make(createArray(mxUINT8_CLASS, {m, n}, false));
    size_t count = std::min(values.size(), a->storedElements);
    if (count != 0) std::memcpy(a->re.get(), values.data(), count);
    return a;
}

Array ofClass(mxClassID cls, const std::vector<size_t>& dims) {
    return make(createArray(cls, std::vector<mwSize>(dims.begin(), dims.end()), false));
}

Array sparseDoubles(size_t m, size_t n) {
    return make(createSparse(mxDOUBLE_CLASS, m, n, 1, false));
}

Array text(const std::string& s) {
    return make(mxCreateString(s.c_str()));
}

std::vector<size_t> dims(const mxArray* a) {
    return {a->dims.begin(), a->dims.end()};
}

std::vector<double> values(const mxArray* a) {
    if (a->cls != mxDOUBLE_CLASS || a->sparse)
        throw std::runtime_error("values: not a full double array");
    const double* p = mxGetPr(a);
    return std::vector<double>(p, p + a->storedElements);
}

Command::Command(const std::string& path) {
    handle_ = openLibrary(path);
    if (handle_ == nullptr) throw std::runtime_error("cannot load " + loadError(path));
    function_ = reinterpret_cast<void (*)(int, mxArray**, int, const mxArray**)>(
        entry(handle_, "mexFunction"));
    version_ = reinterpret_cast<const char* (*)()>(entry(handle_, "mexVersion"));
    if (function_ == nullptr || version_ == nullptr) {
        closeLibrary(handle_);
        throw std::runtime_error(path + " does not export mexFunction and mexVersion");
    }
    if (std::strcmp(version_(), "MATLAB R13 native") != 0) {
        closeLibrary(handle_);
        throw std::runtime_error(path + " has an unknown MEX version");
    }
}

Command::~Command() {
    closeLibrary(handle_);
}

std::string Command::version() const {
    return version_();
}

Result Command::call(int nlhs, const std::vector<const mxArray*>& inputs, long createBudget) const {
    std::vector<std::vector<std::byte>> before;
    for (const mxArray* a : inputs) before.push_back(snapshot(a));

    // The slots live in a block of their own, exactly as many as offered, so that a command
    // writing past them is caught.
    size_t slots = static_cast<size_t>(std::max(nlhs, 1));
    auto plhs = std::make_unique<mxArray*[]>(slots);
    auto prhs = std::make_unique<const mxArray*[]>(inputs.size() + 1);
    std::copy(inputs.begin(), inputs.end(), prhs.get());

    CallState state;
    state.createBudget = createBudget;
    state.raise = [](const char* text) { throw MexError(text); };
    CallState* outer = currentCall();
    currentCall() = &state;
    Result result;
    try {
        function_(nlhs, plhs.get(), static_cast<int>(inputs.size()), prhs.get());
    } catch (const MexError& e) {
        result.failed = true;
        result.error = e.what();
    } catch (...) {
        currentCall() = outer;
        for (mxArray* a : state.created) delete a;
        throw;
    }
    currentCall() = outer;

    // Like the host: after an error nothing is handed back; otherwise the filled slots are, and
    // whatever else the command created is freed.
    for (size_t i = 0; i < slots && !result.failed; ++i) {
        mxArray* a = plhs[i];
        if (a != nullptr) std::erase(state.created, a);
        result.outputs.emplace_back(a);
    }
    result.leftovers = result.failed ? 0 : state.created.size();
    for (mxArray* a : state.created) delete a;

    for (size_t i = 0; i < inputs.size(); ++i)
        if (snapshot(inputs[i]) != before[i]) result.inputsChanged = true;
    return result;
}

std::string commandPath(const std::string& name) {
#ifdef MEX_TEST_DIR
    return std::string(MEX_TEST_DIR) + "/" + name + MEX_TEST_SUFFIX;
#else
    return "./" + name;
#endif
}

}  // namespace testhost
