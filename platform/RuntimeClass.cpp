#include "platform/RuntimeClass.h"

namespace {

std::vector<CRuntimeClass*>& Registry() {
  static std::vector<CRuntimeClass*> classes;
  return classes;
}

}  // namespace

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
  for (const CRuntimeClass* c = this; c != nullptr; c = c->GetBaseClass())
    if (c == pBaseClass) return true;
  return false;
}

CObject* CRuntimeClass::CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }

CRuntimeClass* CRuntimeClass::FromName(const std::string& name) {
  for (CRuntimeClass* c : Registry())
    if (name == c->m_lpszClassName) return c;
  return nullptr;
}

CObject* CRuntimeClass::CreateObject(const std::string& name) {
  CRuntimeClass* c = FromName(name);
  return c ? c->CreateObject() : nullptr;
}

std::vector<CRuntimeClass*> CRuntimeClass::Registered() { return Registry(); }

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass) {
  // A class of the same name registered earlier (another module) stays first.
  Registry().push_back(pNewClass);
}

CObject::~CObject() = default;

CRuntimeClass* CObject::GetThisClass() {
  static CRuntimeClass rc{"CObject", static_cast<int>(sizeof(CObject)), nullptr, nullptr};
  return &rc;
}

CRuntimeClass* CObject::GetRuntimeClass() const { return GetThisClass(); }

bool CObject::IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }

static const AFX_CLASSINIT _daru_init_CObject(CObject::GetThisClass());
