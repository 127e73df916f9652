// libmex of the test host: the error report. It throws, and the loader catches, so that like the
// real host it never returns to the command.
#include "mex.h"
#include "array.h"

extern "C" void mexErrMsgTxt(const char* text) {
    throw testhost::MexError(text);
}
