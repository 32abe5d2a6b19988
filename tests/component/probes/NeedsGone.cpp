// Has the factory, but imports from a library that is never present.
#include "component/RuntimeComponent.h"

extern "C" __declspec(dllimport) int GoneValue();

extern "C" __declspec(dllexport) IRuntimeWrapper* CreateWrapper() { return GoneValue() == 7 ? nullptr : nullptr; }
