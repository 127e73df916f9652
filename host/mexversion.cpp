// The version text by which the host recognises a MEX file built for its native interface.
extern "C" const char* mexVersion() {
    return "MATLAB R13 native";
}
