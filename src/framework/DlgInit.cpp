#include "framework/DlgInit.h"

#include <cstring>

#include "framework/Codepage.h"

std::vector<DlgInitRecord> ParseDlgInit(const void* data, size_t size) {
    std::vector<DlgInitRecord> records;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (!bytes) return records;
    size_t pos = 0;
    while (pos + 2 <= size) {
        WORD id;
        std::memcpy(&id, bytes + pos, 2);
        if (id == 0) break;  // end of the list
        if (pos + 4 > size) break;
        WORD message;
        std::memcpy(&message, bytes + pos + 2, 2);
        size_t textStart = pos + 4;
        const void* zero = std::memchr(bytes + textStart, 0, size - textStart);
        if (!zero) break;  // text runs past the end
        size_t textEnd = static_cast<const unsigned char*>(zero) - bytes;
        if (textEnd + 2 > size || bytes[textEnd + 1] != 0) break;  // no WORD 0 after the text
        std::string utf8(reinterpret_cast<const char*>(bytes + textStart), textEnd - textStart);
        records.push_back(DlgInitRecord{id, message, FromUtf8(utf8).Str()});
        pos = textEnd + 2;
    }
    return records;
}

bool ExtractTaggedValue(const std::wstring& text, const wchar_t* tag, std::wstring* value) {
    std::wstring open = std::wstring(L"<") + tag + L">";
    std::wstring close = std::wstring(L"</") + tag + L">";
    size_t start = text.find(open);
    if (start == std::wstring::npos) return false;
    start += open.size();
    size_t end = text.find(close, start);
    if (end == std::wstring::npos) return false;
    if (value) *value = text.substr(start, end - start);
    return true;
}
