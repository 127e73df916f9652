// libFuzzer entry for one command (FUZZ_COMMAND): the fuzz bytes become an output count of 0 to
// 3, 0 to 7 host arrays and sometimes a host that refuses to create arrays; the call goes through
// the loader. A sanitizer report, a crash, a leak, or an outcome that breaks the command's promise
// (an undocumented message, an output of the wrong size, a write into an input) is a finding.
#include <cstdio>
#include <cstdlib>

#include "contracts.h"
#include "decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const testhost::Command command(testhost::commandPath(FUZZ_COMMAND));
    fuzz::Bytes in(data, size);
    const int nlhs = in.byte() % 4;
    const int nrhs = in.byte() % 8;
    const uint8_t host = in.byte();
    const long budget = (host & 7) == 0 ? (host >> 3) % 3 : -1;

    std::vector<testhost::Array> arrays;
    std::vector<const mxArray*> inputs;
    for (int i = 0; i < nrhs; ++i) {
        arrays.push_back(fuzz::array(in));
        if (!arrays.back()) return 0;
        inputs.push_back(arrays.back().get());
    }
    const testhost::Result result = command.call(nlhs, inputs, budget);
    const std::string problem = fuzz::checkOutcome(FUZZ_COMMAND, nlhs, inputs, result);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s broke its promise: %s\n", FUZZ_COMMAND, problem.c_str());
        std::abort();
    }
    return 0;
}
