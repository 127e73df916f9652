#include "contracts.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

namespace fuzz {

namespace {

using Shape = std::vector<size_t>;

// The documented messages, read once from the list the Octave suites use too: lines of
// "command: message".
const std::map<std::string, std::set<std::string>>& messages() {
    static const std::map<std::string, std::set<std::string>> table = [] {
        std::map<std::string, std::set<std::string>> t;
        std::ifstream file(MEX_MESSAGES_FILE);
        for (std::string line; std::getline(file, line);) {
            const size_t colon = line.find(": ");
            if (colon != std::string::npos) t[line.substr(0, colon)].insert(line.substr(colon + 2));
        }
        return t;
    }();
    return table;
}

// The sizes of the outputs a successful call must hand back, slot by slot.
std::vector<Shape> expectedShapes(const std::string& command, int nlhs,
                                  const std::vector<const mxArray*>& in) {
    if (command == "patchcorr") return {{1, mxGetN(in[4])}};
    if (command == "pluckresid") {
        const size_t rows = 2 * mxGetDimensions(in[3])[1];
        if (nlhs >= 2) return {{rows, 1}, {rows, 4}};
        return {{rows, 1}};
    }
    if (command == "stripfilt") return {{1, mxGetN(in[2])}};
    const size_t m = mxGetM(in[0]), n = mxGetN(in[0]);
    const bool empty = m == 0 || n == 0;
    if (command == "xprod3") {
        if (empty) return {{m, n}};
        return {{3, in.size() == 1 ? 1 : n}};
    }
    if (command == "hesseform") return {{m, empty ? n : 3}};
    return {};
}

std::string describe(const Shape& s) {
    std::string text;
    for (size_t d : s) text += (text.empty() ? "" : "x") + std::to_string(d);
    return text;
}

}  // namespace

std::string checkOutcome(const std::string& command, int nlhs,
                         const std::vector<const mxArray*>& inputs,
                         const testhost::Result& result) {
    if (result.inputsChanged) return "wrote into an input";
    if (result.leftovers != 0) return "created arrays it did not hand back";
    if (result.failed) {
        const auto found = messages().find(command);
        if (found == messages().end()) return "no documented messages for " + command;
        const auto& known = found->second;
        if (known.count(result.error) == 0) return "undocumented message: " + result.error;
        return "";
    }
    const std::vector<Shape> shapes = expectedShapes(command, nlhs, inputs);
    for (size_t i = 0; i < result.outputs.size(); ++i) {
        const mxArray* out = result.outputs[i].get();
        if (i >= shapes.size()) {
            if (out != nullptr) return "filled output slot " + std::to_string(i + 1);
            continue;
        }
        if (out == nullptr) return "left output slot " + std::to_string(i + 1) + " empty";
        if (!mxIsDouble(out) || mxIsSparse(out) || mxIsComplex(out))
            return "output " + std::to_string(i + 1) + " is not a real full double array";
        if (testhost::dims(out) != shapes[i])
            return "output " + std::to_string(i + 1) + " is " + describe(testhost::dims(out)) +
                   ", expected " + describe(shapes[i]);
    }
    return "";
}

}  // namespace fuzz
