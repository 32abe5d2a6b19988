// A library that the test never puts where the loader looks: whatever imports from it
// cannot be loaded (error 126).
extern "C" __declspec(dllexport) int GoneValue() { return 7; }
