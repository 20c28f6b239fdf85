#pragma once

#include <string>
#include <vector>

#include "base/DaruApi.h"

// Runtime-class information: every window class knows its name and its base,
// and classes declared dynamically creatable can be made from their name.

class CObject;

struct DARU_API CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  CObject* (*m_pfnCreateObject)();        // null unless the class is dynamically creatable
  CRuntimeClass* (*m_pfnGetBaseClass)();  // null for CObject

  CRuntimeClass* GetBaseClass() const { return m_pfnGetBaseClass ? m_pfnGetBaseClass() : nullptr; }
  bool IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
  // A new object of this class (owned by the caller), or null when it is not creatable.
  CObject* CreateObject() const;

  // The registered class of that name, or null.
  static CRuntimeClass* FromName(const std::string& name);
  static CObject* CreateObject(const std::string& name);
  // Every registered class, in registration order.
  static std::vector<CRuntimeClass*> Registered();
};

// Registers a class for lookup by name; one static object per IMPLEMENT_ macro.
struct DARU_API AFX_CLASSINIT {
  explicit AFX_CLASSINIT(CRuntimeClass* pNewClass);
};

class DARU_API CObject {
 public:
  virtual ~CObject();
  static CRuntimeClass* GetThisClass();
  virtual CRuntimeClass* GetRuntimeClass() const;
  bool IsKindOf(const CRuntimeClass* pClass) const;

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)     \
 public:                                \
  static CRuntimeClass* GetThisClass(); \
  CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject();

#define DARU_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, pfnNew)                    \
  CRuntimeClass* class_name::GetThisClass() {                                               \
    static CRuntimeClass rc{#class_name, static_cast<int>(sizeof(class_name)), pfnNew,      \
                            &base_class_name::GetThisClass};                                \
    return &rc;                                                                             \
  }                                                                                         \
  CRuntimeClass* class_name::GetRuntimeClass() const { return class_name::GetThisClass(); } \
  static const AFX_CLASSINIT _daru_init_##class_name(class_name::GetThisClass());

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) DARU_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)         \
  CObject* class_name::CreateObject() { return new class_name; } \
  DARU_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, &class_name::CreateObject)

// The object as that class, or null when it is not one.
#define DYNAMIC_DOWNCAST(class_name, object) \
  ((object) != nullptr && (object)->IsKindOf(RUNTIME_CLASS(class_name)) ? static_cast<class_name*>(object) : nullptr)
