#include "framework/Presenters.h"

#include <shellapi.h>

namespace {
class SystemMessageBox : public IMessageBoxPresenter {
public:
    int Show(HWND owner, const wchar_t* text, const wchar_t* title, UINT style) override {
        return MessageBoxW(owner, text, title, style);
    }
};

class ShellWebPage : public IWebPagePresenter {
public:
    HINSTANCE Open(const wchar_t* address) override {
        return ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
    }
};

SystemMessageBox g_systemBox;
ShellWebPage g_shellPage;
IMessageBoxPresenter* g_boxPresenter = &g_systemBox;
IWebPagePresenter* g_pagePresenter = &g_shellPage;
}  // namespace

IMessageBoxPresenter& MessageBoxPresenter() { return *g_boxPresenter; }
IWebPagePresenter& WebPagePresenter() { return *g_pagePresenter; }

IMessageBoxPresenter* SetMessageBoxPresenter(IMessageBoxPresenter* presenter) {
    IMessageBoxPresenter* previous = g_boxPresenter;
    g_boxPresenter = presenter ? presenter : &g_systemBox;
    return previous;
}

IWebPagePresenter* SetWebPagePresenter(IWebPagePresenter* presenter) {
    IWebPagePresenter* previous = g_pagePresenter;
    g_pagePresenter = presenter ? presenter : &g_shellPage;
    return previous;
}
