#pragma once
// The application object: refuses a second copy, fixes the launcher directory, runs the
// start-up checks and then the splash dialog, inside which everything else happens.
#include "framework/WinApp.h"

class DEZMfcApp : public CWinApp {
public:
    DEZMfcApp();
    ~DEZMfcApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern DEZMfcApp theApp;
