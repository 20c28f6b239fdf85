#include <gtest/gtest.h>

#include "darulib_ui.h"

// A host reaches the windows, the platform layer and the catalogue through one header.
TEST(WindowsHeader, CreatesTheArticleListFromItsRuntimeClass) {
  CRuntimeClass* listClass = RUNTIME_CLASS(CListCtrlEx);
  ASSERT_NE(listClass, nullptr);
  std::unique_ptr<CObject> object(listClass->CreateObject());
  ASSERT_NE(object, nullptr);
  EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CListCtrl)));
  EXPECT_TRUE(RUNTIME_CLASS(CDARUListCtrl)->IsDerivedFrom(listClass));
  EXPECT_EQ(std::string(listClass->m_lpszClassName), "CListCtrlEx");
  CStdTime empty;
  EXPECT_EQ(empty.GetFmtString(), u"");
}
