#pragma once
// Control-initialisation data of a dialog template: a resource of type RT_DLGINIT (240)
// with the same id as the template, applied when the dialog initialises.
//
// Encoding (16-bit numbers little-endian, no alignment):
//   record  := WORD control id (non-zero), WORD message, UTF-8 text, WORD 0
//   data    := record* WORD 0
// The text itself contains no zero byte; it ends at the first zero byte, and the second
// zero byte of the WORD 0 after it is skipped. UTF-8 keeps the resource script readable
// (a narrow string there is stored byte for byte). The dialog sends each control
// `message` with lParam pointing to the text converted to UTF-16 and zero-terminated.
// For the link-button control ("MfcLink") the message is WM_AFX_INITCTRL and the text is
// a list of properties in tags, each at most once, in any order:
//   <MfcLinkUrl>host</MfcLinkUrl>                 target address
//   <MfcLinkUrlPrefix>http://</MfcLinkUrlPrefix>  put in front of an address without "://"
//   <MfcLinkTooltip>text</MfcLinkTooltip>         tooltip text
//   <MfcLinkFullTextTooltip>FALSE</MfcLinkFullTextTooltip>  TRUE: the tooltip shows the
//                                                 full address instead of the text
// In a resource script the data is written as numbers and "..." strings, for example
//   102 240 BEGIN 1010, 0x0363, "<MfcLinkUrl>", "www.example", "</MfcLinkUrl>", 0, 0 END
#include <windows.h>

#include <string>
#include <vector>

#ifndef RT_DLGINIT
#define RT_DLGINIT MAKEINTRESOURCEW(240)
#endif
#define WM_AFX_INITCTRL 0x0363

struct DlgInitRecord {
    WORD controlId;
    WORD message;
    std::wstring text;
};

// Splits the data into records. Stops at the terminating zero id or at the end of the
// data; a record cut short (no zero after its text, or its header incomplete) is dropped
// and ends the list.
std::vector<DlgInitRecord> ParseDlgInit(const void* data, size_t size);

// The text between <tag> and </tag>; false when the pair is not there.
bool ExtractTaggedValue(const std::wstring& text, const wchar_t* tag, std::wstring* value);
