#pragma once
// What CsBrevinLab.dll offers CsBrevinApi.dll: the package reader behind the component
// object. Narrow strings in the thread's ANSI code page; the reason for a failure is
// copied, cut to fit and zero-terminated, into the caller's buffer.
#ifdef CSBREVINLAB_BUILD
#define CSBREVINLAB_API extern "C" __declspec(dllexport)
#else
#define CSBREVINLAB_API extern "C" __declspec(dllimport)
#endif

CSBREVINLAB_API int CsLabExtractFile(const char* packagePath, const char* password, const char* infoTable,
                                     const char* dataTable, const char* targetDir, const char* fileName,
                                     char* errorBuffer, unsigned errorBufferSize);
