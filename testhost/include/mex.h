/* The interface half of the host API, as the test host provides it: the entry point a command
 * defines and the error report it calls. */
#ifndef TESTHOST_MEX_H
#define TESTHOST_MEX_H

#include "matrix.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Defined by each command. */
void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

/* Shows the text as the call's error and does not return: the host abandons the call. */
void mexErrMsgTxt(const char* text);

#ifdef __cplusplus
}
#endif

#endif
