#include "framework/CmdTarget.h"

#include <commctrl.h>

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), nullptr, nullptr};

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, WPARAM wParam, LPARAM lParam) const {
    UINT code = 0, id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
    } else if (message == WM_NOTIFY) {
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (!hdr) return nullptr;
        code = hdr->code;
        id = static_cast<UINT>(hdr->idFrom);
    }
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e) {
            if (e->nMessage != message) continue;
            if ((message == WM_COMMAND || message == WM_NOTIFY) && (e->nCode != code || e->nID != id)) continue;
            return e;
        }
    }
    return nullptr;
}

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, wParam, lParam);
    if (!entry) return false;
    LRESULT ignored = 0;
    entry->pfn(this, wParam, lParam, pResult ? pResult : &ignored);
    return true;
}
