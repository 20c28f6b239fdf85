#pragma once

#include <vector>

#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "platform/TreeCtrl.h"

class CArticle;
class CLabel;

// The label picker: the whole label hierarchy with a check box per label,
// ticked where the article is filed. Confirming files the article under
// exactly the ticked labels, all or nothing, in the facade's store; with no
// label ticked the article leaves the catalogue.
class DARU_API CNewLabelDlg : public CDialog {
  DECLARE_DYNAMIC(CNewLabelDlg)
 public:
  CNewLabelDlg(CArticle* article, CLabel* label, CWnd* pParent = nullptr);
  ~CNewLabelDlg() override;

  CTreeCtrl m_tree;
  CLabel* shownLabel;       // borrowed from the hierarchy: the label the list shows, or null
  int leftShownLabel;       // 1 until the article is filed under shownLabel again
  int linkCount;            // links written on confirmation
  CArticle* targetArticle;  // borrowed from the calling command
  CImageList m_imageList;   // owned; the tree's normal images
  CBitmap m_bitmap;         // owned; the image strip

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  // Inserts every label below parent, each as the last child of its parent's
  // item, so siblings keep their order.
  void InsertChildren(CLabel* parent, HTREEITEM parentItem);
  HTREEITEM InsertLabel(CLabel* label, HTREEITEM parentItem);
  // The ticked labels in the order confirmation visits them: an item, then its
  // following siblings with their subtrees, then its own children.
  std::vector<CLabel*> TickedLabels() const;
};
