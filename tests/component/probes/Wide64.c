/* Built for x86-64: a 32-bit process cannot load it (error 193). */
__declspec(dllexport) void* CreateWrapper(void) { return 0; }
