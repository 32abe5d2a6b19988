// A component whose factory cannot create its object.
#include "component/RuntimeComponent.h"

extern "C" __declspec(dllexport) IRuntimeWrapper* CreateWrapper() { return nullptr; }
