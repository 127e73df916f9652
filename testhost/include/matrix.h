/* The array half of the host API, as the test host provides it.
 *
 * Written from the documented C signatures of the MEX array API; only the subset that the commands
 * and their tests use. Storage is column-major; an array of more than two dimensions reports the
 * product of its trailing dimensions as its column count. */
#ifndef TESTHOST_MATRIX_H
#define TESTHOST_MATRIX_H

#include <stdbool.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct mxArray_tag mxArray;
typedef size_t mwSize;
typedef size_t mwIndex;
typedef char mxChar;
typedef unsigned char mxLogical;

/* Class ids in the host's own numbering: double is 6, uint8 is 9. */
typedef enum {
    mxUNKNOWN_CLASS = 0,
    mxCELL_CLASS,
    mxSTRUCT_CLASS,
    mxLOGICAL_CLASS,
    mxCHAR_CLASS,
    mxVOID_CLASS,
    mxDOUBLE_CLASS,
    mxSINGLE_CLASS,
    mxINT8_CLASS,
    mxUINT8_CLASS,
    mxINT16_CLASS,
    mxUINT16_CLASS,
    mxINT32_CLASS,
    mxUINT32_CLASS,
    mxINT64_CLASS,
    mxUINT64_CLASS,
    mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

size_t mxGetM(const mxArray* a);
size_t mxGetN(const mxArray* a);
mwSize mxGetNumberOfDimensions(const mxArray* a);
const mwSize* mxGetDimensions(const mxArray* a);
size_t mxGetNumberOfElements(const mxArray* a);
size_t mxGetElementSize(const mxArray* a);

mxClassID mxGetClassID(const mxArray* a);
bool mxIsDouble(const mxArray* a);
bool mxIsUint8(const mxArray* a);
bool mxIsChar(const mxArray* a);
bool mxIsEmpty(const mxArray* a);
bool mxIsSparse(const mxArray* a);
bool mxIsComplex(const mxArray* a);

/* Element storage: for any class the same pointer gives the raw bytes. A sparse array stores only
 * its nonzero values here, so its storage is shorter than rows times columns. */
double* mxGetPr(const mxArray* a);
double* mxGetPi(const mxArray* a);
void* mxGetData(const mxArray* a);

/* Copies the text and a terminating zero into buf when both fit in buflen bytes and returns 0.
 * Otherwise (too long, or not a char array) writes nothing at all and returns 1. */
int mxGetString(const mxArray* a, char* buf, mwSize buflen);

/* A new array, zero-filled; NULL when it cannot be made. */
mxArray* mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag);
mxArray* mxCreateNumericMatrix(mwSize m, mwSize n, mxClassID cls, mxComplexity flag);
mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID cls, mxComplexity flag);
mxArray* mxCreateString(const char* text);
mxArray* mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag);
void mxDestroyArray(mxArray* a);

double mxGetNaN(void);
double mxGetInf(void);
bool mxIsNaN(double x);

#ifdef __cplusplus
}
#endif

#endif
