// mexrun CASES RESULTS: runs a file of recorded calls through the loader and writes each call's
// outcome, so that the same calls made in another host can be compared bit for bit.
//
// Both files are little-endian streams. A call: int32 name length, the name, int32 nlhs,
// int32 input count, then the inputs. An array: int32 class id, int32 complex flag, int32 ndims,
// ndims doubles (the dimensions), the real element bytes, then the imaginary ones if complex.
// An outcome: int32 1 and the message (int32 length, bytes) for an error, or int32 0, int32 output
// count and the outputs as arrays.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "array.h"
#include "loader.h"

namespace {

int32_t readInt(std::istream& in) {
    int32_t v = 0;
    in.read(reinterpret_cast<char*>(&v), sizeof v);
    return v;
}

void writeInt(std::ostream& out, int32_t v) {
    out.write(reinterpret_cast<char*>(&v), sizeof v);
}

testhost::Array readArray(std::istream& in) {
    const auto cls = static_cast<mxClassID>(readInt(in));
    const bool complex = readInt(in) != 0;
    std::vector<mwSize> dims(static_cast<size_t>(readInt(in)));
    for (mwSize& d : dims) {
        double v = 0;
        in.read(reinterpret_cast<char*>(&v), sizeof v);
        d = static_cast<mwSize>(v);
    }
    testhost::Array a(testhost::createArray(cls, dims, complex));
    if (!a) throw std::runtime_error("cannot create an input array");
    const size_t bytes = a->storedElements * testhost::elementSize(cls);
    if (bytes != 0) {
        in.read(reinterpret_cast<char*>(a->re.get()), static_cast<std::streamsize>(bytes));
        if (complex)
            in.read(reinterpret_cast<char*>(a->im.get()), static_cast<std::streamsize>(bytes));
    }
    return a;
}

void writeArray(std::ostream& out, const mxArray* a) {
    writeInt(out, a->cls);
    writeInt(out, a->complex ? 1 : 0);
    writeInt(out, static_cast<int32_t>(a->dims.size()));
    for (mwSize d : a->dims) {
        const double v = static_cast<double>(d);
        out.write(reinterpret_cast<const char*>(&v), sizeof v);
    }
    const size_t bytes = a->storedElements * testhost::elementSize(a->cls);
    if (bytes != 0) {
        out.write(reinterpret_cast<const char*>(a->re.get()), static_cast<std::streamsize>(bytes));
        if (a->complex)
            out.write(reinterpret_cast<const char*>(a->im.get()),
                      static_cast<std::streamsize>(bytes));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mexrun CASES RESULTS\n");
        return 2;
    }
    // The outcomes are compared byte for byte with Octave's, whose mxGetNaN is the compiler's
    // quiet NaN.
    testhost::hostNaN() = std::numeric_limits<double>::quiet_NaN();
    std::ifstream in(argv[1], std::ios::binary);
    std::ofstream out(argv[2], std::ios::binary);
    std::map<std::string, std::unique_ptr<testhost::Command>> commands;
    int calls = 0;
    while (in.peek() != EOF) {
        std::string name(static_cast<size_t>(readInt(in)), '\0');
        in.read(name.data(), static_cast<std::streamsize>(name.size()));
        const int nlhs = readInt(in);
        std::vector<testhost::Array> inputs(static_cast<size_t>(readInt(in)));
        for (auto& a : inputs) a = readArray(in);
        if (!in) {
            std::fprintf(stderr, "mexrun: truncated case file\n");
            return 2;
        }
        auto& command = commands[name];
        if (!command) command = std::make_unique<testhost::Command>(testhost::commandPath(name));
        std::vector<const mxArray*> args;
        for (auto& a : inputs) args.push_back(a.get());
        testhost::Result r = command->call(nlhs, args);
        if (r.failed) {
            writeInt(out, 1);
            writeInt(out, static_cast<int32_t>(r.error.size()));
            out.write(r.error.data(), static_cast<std::streamsize>(r.error.size()));
        } else {
            // Outputs up to the last filled slot, as the host would hand them to the caller.
            int32_t count = 0;
            for (size_t i = 0; i < r.outputs.size(); ++i)
                if (r.outputs[i]) count = static_cast<int32_t>(i + 1);
            writeInt(out, 0);
            writeInt(out, count);
            for (int32_t i = 0; i < count; ++i) writeArray(out, r.outputs[i].get());
        }
        ++calls;
    }
    std::printf("mexrun: %d calls\n", calls);
    return 0;
}
