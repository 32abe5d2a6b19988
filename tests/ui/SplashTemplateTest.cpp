// The compiled splash dialog template and its control-initialisation data, read back
// from the program's own resources.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "BuildSettings.h"
#include "framework/DlgInit.h"
#include "ui/resource.h"

namespace {

struct Reader {
    const BYTE* p;
    const BYTE* end;
    WORD Word() {
        WORD v;
        std::memcpy(&v, p, 2);
        p += 2;
        return v;
    }
    DWORD Dword() {
        DWORD v;
        std::memcpy(&v, p, 4);
        p += 4;
        return v;
    }
    short Short() { return static_cast<short>(Word()); }
    // sz_Or_Ord: 0 = none, 0xFFFF + ordinal, or a zero-terminated string.
    std::wstring SzOrOrd() {
        WORD first = Word();
        if (first == 0) return L"";
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring s(1, static_cast<wchar_t>(first));
        for (WORD c = Word(); c != 0; c = Word()) s += static_cast<wchar_t>(c);
        return s;
    }
    void AlignDword(const BYTE* base) {
        while ((p - base) % 4) ++p;
    }
};

struct Item {
    DWORD exStyle, style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring cls, text;
};

std::vector<BYTE> LoadResourceBytes(LPCWSTR type, UINT id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!res) return {};
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    return std::vector<BYTE>(data, data + SizeofResource(module, res));
}

}  // namespace

TEST(SplashTemplate, HeaderFontAndControlsAsDesigned) {
    // Language 2052 (Chinese, PRC).
    EXPECT_NE(FindResourceExW(GetModuleHandleW(nullptr), RT_DIALOG, MAKEINTRESOURCEW(IDD_EIPMFCAPP_DIALOG),
                              MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)),
              nullptr);
    std::vector<BYTE> bytes = LoadResourceBytes(RT_DIALOG, IDD_EIPMFCAPP_DIALOG);
    ASSERT_GT(bytes.size(), 26u);
    Reader r{bytes.data(), bytes.data() + bytes.size()};
    EXPECT_EQ(r.Word(), 1);       // dlgVer: extended template
    EXPECT_EQ(r.Word(), 0xFFFF);  // signature
    r.Dword();                    // help id
    EXPECT_EQ(r.Dword(), 0x00040000u);  // WS_EX_APPWINDOW
    EXPECT_EQ(r.Dword(), 0x90000048u);  // WS_POPUP | WS_VISIBLE | DS_SHELLFONT
    WORD count = r.Word();
    EXPECT_EQ(count, 7);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 261);
    EXPECT_EQ(r.Short(), 94);
    EXPECT_EQ(r.SzOrOrd(), L"");  // no menu
    EXPECT_EQ(r.SzOrOrd(), L"");  // no class
    EXPECT_EQ(r.SzOrOrd(), L"");  // no title
    EXPECT_EQ(r.Word(), 9);       // points
    EXPECT_EQ(r.Word(), 0);       // weight
    EXPECT_EQ(*r.p++, 0);         // italic
    EXPECT_EQ(*r.p++, 1);         // DEFAULT_CHARSET
    EXPECT_EQ(r.SzOrOrd(), L"MS Shell Dlg");

    std::vector<Item> items;
    for (int i = 0; i < count; ++i) {
        r.AlignDword(bytes.data());
        Item it;
        r.Dword();  // help id
        it.exStyle = r.Dword();
        it.style = r.Dword();
        it.x = r.Short();
        it.y = r.Short();
        it.cx = r.Short();
        it.cy = r.Short();
        it.id = r.Dword();
        it.cls = r.SzOrOrd();
        it.text = r.SzOrOrd();
        WORD extra = r.Word();
        r.p += extra;
        items.push_back(it);
    }
    ASSERT_EQ(items.size(), 7u);
    struct Expected {
        DWORD id;
        const wchar_t* cls;
        const wchar_t* text;
        short x, y, cx, cy;
        DWORD style, exStyle;
    };
    const Expected expected[] = {
        {1003, L"BUTTON", L"\u2715", 243, 0, 16, 14, 0x5001008B, 0x20},
        {1004, L"BUTTON", L"\uFF0D", 226, 0, 16, 14, 0x5001008B, 0x20},
        {1001, L"STATIC", L"Velmora", 2, 3, 105, 8, 0x50020000, 0},
        {1010, L"MFCLINK", L"软件官网", 3, 84, 32, 9, 0x50010000, 0},
        {1011, L"STATIC", L"正在加载中.....", 18, 38, 230, 22, 0x50020000, 0},
        {1013, L"SYSLINK", L"<a>继续加载</a>", 40, 84, 32, 9, 0x48010000, 0},
        {1012, L"SYSLINK", L"<a>在线客服</a>", 4, 74, 32, 9, 0x50010000, 0},
    };
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        const Item& it = items[i];
        const Expected& e = expected[i];
        EXPECT_EQ(it.id, e.id);
        // Class names compare without case, as the system does.
        EXPECT_EQ(_wcsicmp(it.cls.c_str(), e.cls), 0) << std::string(it.cls.begin(), it.cls.end());
        EXPECT_EQ(it.text, e.text);
        EXPECT_EQ(it.x, e.x);
        EXPECT_EQ(it.y, e.y);
        EXPECT_EQ(it.cx, e.cx);
        EXPECT_EQ(it.cy, e.cy);
        EXPECT_EQ(it.style, e.style);
        EXPECT_EQ(it.exStyle, e.exStyle);
    }
}

TEST(SplashTemplate, WebsiteLinkInitialisationData) {
    std::vector<BYTE> bytes = LoadResourceBytes(RT_DLGINIT, IDD_EIPMFCAPP_DIALOG);
    ASSERT_FALSE(bytes.empty());
    auto records = ParseDlgInit(bytes.data(), bytes.size());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].controlId, IDC_MFCLINK_WEBSITE);
    EXPECT_EQ(records[0].message, WM_AFX_INITCTRL);
    std::wstring value;
    ASSERT_TRUE(ExtractTaggedValue(records[0].text, L"MfcLinkUrl", &value));
    EXPECT_EQ(value, VELMORA_SITE_HOST_W);
    ASSERT_TRUE(ExtractTaggedValue(records[0].text, L"MfcLinkUrlPrefix", &value));
    EXPECT_EQ(value, L"http://");
    ASSERT_TRUE(ExtractTaggedValue(records[0].text, L"MfcLinkTooltip", &value));
    EXPECT_EQ(value, L"点击进入Velmora软件官网");
    ASSERT_TRUE(ExtractTaggedValue(records[0].text, L"MfcLinkFullTextTooltip", &value));
    EXPECT_EQ(value, L"FALSE");
}
