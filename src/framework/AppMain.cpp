// The program's entry point: hands over to the application object.
#include "framework/WinApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return AfxWinMain(instance); }
