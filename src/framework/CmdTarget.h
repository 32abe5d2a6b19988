#pragma once
// Message maps: a compact table per class from (message, notification code, control id)
// to a member handler, chained to the base class's table. Each entry holds a small
// function that casts the target to the declaring class and calls the member with the
// arguments unpacked from WPARAM/LPARAM; messages no table claims get default handling.
#include "framework/Object.h"

class CCmdTarget;

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // WM_xxx; WM_COMMAND and WM_NOTIFY for command and notification entries
    UINT nCode;     // notification code (BN_CLICKED, NM_CLICK...) for WM_COMMAND/WM_NOTIFY
    UINT nID;       // command or control id for WM_COMMAND/WM_NOTIFY, 0 otherwise
    // Calls the handler; the message's result goes to *pResult.
    void (*pfn)(CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

class CCmdTarget : public CObject {
public:
    // Finds the first entry for the message in this class's table or a base class's, and
    // calls it. True when an entry handled the message.
    bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // The entry the dispatch would choose, or null.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, WPARAM wParam, LPARAM lParam) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                      \
protected:                                         \
    static const AFX_MSGMAP* GetThisMessageMap();  \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                         \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }  \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                  \
        typedef theClass ThisClass;                                                    \
        typedef baseClass TheBaseClass;                                                \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                               \
            {0, 0, 0, nullptr}};                                                        \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap;                                                             \
    }

// Handler for a command: void Handler().
#define ON_COMMAND(id, memberFxn)                                                  \
    {WM_COMMAND, 0, static_cast<UINT>(id),                                         \
     [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {                               \
         (static_cast<ThisClass*>(t)->*(memberFxn))();                             \
         *r = 0;                                                                   \
     }},

// Handler for a control notification sent through WM_COMMAND: void Handler().
#define ON_CONTROL(code, id, memberFxn)                                            \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id),                   \
     [](CCmdTarget* t, WPARAM, LPARAM, LRESULT* r) {                               \
         (static_cast<ThisClass*>(t)->*(memberFxn))();                             \
         *r = 0;                                                                   \
     }},

#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

// Handler for a WM_NOTIFY notification: void Handler(NMHDR*, LRESULT*).
#define ON_NOTIFY(code, id, memberFxn)                                             \
    {WM_NOTIFY, static_cast<UINT>(code), static_cast<UINT>(id),                    \
     [](CCmdTarget* t, WPARAM, LPARAM l, LRESULT* r) {                             \
         *r = 0;                                                                   \
         (static_cast<ThisClass*>(t)->*(memberFxn))(reinterpret_cast<NMHDR*>(l), r); \
     }},
