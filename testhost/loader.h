// The loader: what a host does to run a command. It opens a built MEX file by path, checks its
// version text, calls mexFunction with a chosen output count and hands back the outputs or the
// error text. Tests and fuzzers talk to the commands only through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "matrix.h"

namespace testhost {

struct ArrayDeleter {
    void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

// Builders for inputs. Values are column-major; missing values are zero.
Array doubles(size_t m, size_t n, const std::vector<double>& values = {});
Array doublesNd(const std::vector<size_t>& dims, const std::vector<double>& values = {});
Array complexDoubles(size_t m, size_t n, const std::vector<double>& re,
                     const std::vector<double>& im);
Array uint8s(size_t m, size_t n, const std::vector<uint8_t>& values = {});
Array ofClass(mxClassID cls, const std::vector<size_t>& dims);  // zero-filled
Array sparseDoubles(size_t m, size_t n);                        // all zero, one stored element
Array text(const std::string& s);

// Reading results.
std::vector<size_t> dims(const mxArray* a);
std::vector<double> values(const mxArray* a);  // a real full double array

struct Result {
    bool failed = false;         // the command reported an error
    std::string error;           // its text
    std::vector<Array> outputs;  // the filled output slots, in order (nullptr where left empty)
    bool inputsChanged = false;  // the command wrote into an input's storage
    size_t leftovers = 0;        // arrays the command created but did not hand back
};

class Command {
  public:
    explicit Command(const std::string& path);  // throws std::runtime_error when it cannot load
    ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    std::string version() const;

    // Calls the command with nlhs requested outputs (the host always offers at least one slot).
    // createBudget limits how many arrays the host agrees to create during the call (-1: any).
    Result call(int nlhs, const std::vector<const mxArray*>& inputs, long createBudget = -1) const;

  private:
    void* handle_;
    void (*function_)(int, mxArray**, int, const mxArray**);
    const char* (*version_)();
};

// The path of a built command in the directory the build configured for the tests.
std::string commandPath(const std::string& name);

}  // namespace testhost
