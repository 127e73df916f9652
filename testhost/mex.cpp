// libmex of the test host: the error report. It throws, and the loader catches, so that like the
// real host it never returns to the command.
#include "mex.h"
#include "array.h"

namespace {

// Outside a call through the loader: thrown from here, to whoever called the command.
[[noreturn, gnu::noinline]] void raiseHere(const char* text) {
    throw testhost::MexError(text);
}

}  // namespace

extern "C" void mexErrMsgTxt(const char* text) {
    const testhost::CallState* call = testhost::currentCall();
    if (call != nullptr && call->raise != nullptr) call->raise(text);
    raiseHere(text);
}
