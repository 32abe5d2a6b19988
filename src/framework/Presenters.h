#pragma once
// The two outside effects that tests must observe go through small replaceable
// presenters: message boxes and web pages opened in the default browser. Production code
// uses the real API (MessageBoxW, ShellExecuteW); a test installs a recorder for the
// duration of a scope.
#include <windows.h>

class IMessageBoxPresenter {
public:
    virtual ~IMessageBoxPresenter() = default;
    // Shows a box owned by `owner` (null for none) and returns what MessageBoxW returns.
    virtual int Show(HWND owner, const wchar_t* text, const wchar_t* title, UINT style) = 0;
};

class IWebPagePresenter {
public:
    virtual ~IWebPagePresenter() = default;
    // Opens the address in the default browser; the result is ShellExecuteW's.
    virtual HINSTANCE Open(const wchar_t* address) = 0;
};

IMessageBoxPresenter& MessageBoxPresenter();
IWebPagePresenter& WebPagePresenter();

// Install a presenter (null restores the real one); returns the previous one.
IMessageBoxPresenter* SetMessageBoxPresenter(IMessageBoxPresenter* presenter);
IWebPagePresenter* SetWebPagePresenter(IWebPagePresenter* presenter);
