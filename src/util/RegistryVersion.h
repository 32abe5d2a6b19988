#pragma once
#include "framework/CString.h"

// The probes read HKLM with KEY_READ and no view flag, so this 32-bit process sees the
// 32-bit registry view. They write nothing.
// 1 when the .NET Framework 4 full profile is installed ("Install" is REG_DWORD 1), else 0.
int IsNetFramework4Installed();
// 1 when the Visual C++ 2015-or-later x86 runtime is at least 14.0.23026, else 0.
int IsVcRuntimeInstalled();
// first * 10000 + second * 1000 + third of a dotted version; missing fields count as 0.
int VersionNumber(const CString& text);
// The launcher's fixed file version as "a.b.c.d"; empty when it cannot be read.
CString GetLauncherFileVersion();
