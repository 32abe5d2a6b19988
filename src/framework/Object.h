#pragma once
// CObject and run-time class information: enough for a class to name itself and to
// answer IsKindOf, and for a creatable class to be made from its CRuntimeClass.
#include <windows.h>

class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    const CRuntimeClass* m_pBaseClass;
    CObject* (*m_pfnCreateObject)();  // null when the class is not dynamically creatable

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    bool IsDerivedFrom(const CRuntimeClass* base) const {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
            if (c == base) return true;
        return false;
    }
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }
    static const CRuntimeClass classCObject;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                   \
public:                                                               \
    static const CRuntimeClass class##class_name;                     \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                 \
    DECLARE_DYNAMIC(class_name)                                       \
    static CObject* CreateObject();

#define IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, pfnNew)                   \
    const CRuntimeClass class_name::class##class_name = {                              \
        #class_name, static_cast<int>(sizeof(class_name)), RUNTIME_CLASS(base_class_name), pfnNew}; \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                  \
    CObject* class_name::CreateObject() { return new class_name; }        \
    IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, &class_name::CreateObject)
