#pragma once
// Paths as the runtime component receives them: narrow, in the thread's ANSI code page.
#include <string>

#include "framework/CString.h"

// The path itself when the code page spells it exactly; otherwise its short (8.3) form,
// when the volume keeps one and the code page spells that exactly. False, with `narrow`
// empty, when neither is possible: the component must not be given the path at all,
// since any replacement names another folder or none.
bool ComponentPathText(const CString& path, std::string& narrow);
