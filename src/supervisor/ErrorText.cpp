#include "supervisor/ErrorText.h"

#include "util/InstallationNames.h"
#include "framework/Handles.h"

CString SystemErrorText(DWORD error) {
    LPWSTR buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_FROM_SYSTEM,
                                  nullptr, error, LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&buffer), 0,
                                  nullptr);
    UniqueLocalMem owner(buffer);
    if (length == 0 || !buffer) return CString();
    return CString(buffer, static_cast<int>(length));
}

CString HidePathsInErrorText(const CString& text, const CString& appDir) {
    if ((!kMainProgramFile.IsEmpty() && text.Find(kMainProgramFile) >= 0) ||
        (!appDir.IsEmpty() && text.Find(appDir) >= 0)) {
        return L"原因：文件或路径错误。";
    }
    return text;
}
