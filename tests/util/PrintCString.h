#pragma once
// Lets GoogleTest show CString values as readable text in failure messages (otherwise it
// prints the pointer the string converts to).
#include <ostream>

#include "framework/CString.h"
#include "framework/Codepage.h"

static inline void PrintTo(const CString& value, std::ostream* os) {
    *os << "L\"" << WideToNarrow(value.GetString(), value.GetLength(), CP_UTF8) << "\" (" << value.GetLength()
        << " characters)";
}
