// The one application object of the launcher.
#include "app/DEZMfcApp.h"

DEZMfcApp theApp;
