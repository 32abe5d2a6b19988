// A library without the factory export.
extern "C" __declspec(dllexport) int CreateSomethingElse() { return 1; }
