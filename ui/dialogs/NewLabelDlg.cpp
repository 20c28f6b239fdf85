#include "ui/dialogs/NewLabelDlg.h"

#include <unordered_set>
#include <utility>

#include "core/Article.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "storage/DB.h"
#include "ui/dialogs/DialogResources.h"
#include "ui/dialogs/WindowMessage.h"

IMPLEMENT_DYNAMIC(CNewLabelDlg, CDialog)

namespace {

CDB* Store() {
  CDARU* daru = CDARU::Instance();
  return daru != nullptr ? daru->GetDB() : nullptr;
}

}  // namespace

CNewLabelDlg::CNewLabelDlg(CArticle* article, CLabel* label, CWnd* pParent)
    : CDialog(IDD_NEWLABEL, pParent), shownLabel(label), leftShownLabel(1), linkCount(0), targetArticle(article) {
  DaruEnsureDialogTemplates();
}

CNewLabelDlg::~CNewLabelDlg() = default;

void CNewLabelDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, 51016, m_tree);
}

BOOL CNewLabelDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  // A dialog shown again starts from fresh images.
  m_imageList.DeleteImageList();
  m_bitmap.DeleteObject();
  m_imageList.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6);
  if (m_bitmap.LoadBitmap(IDB_ARTICLE_IMAGES)) m_imageList.Add(&m_bitmap, RGB(255, 0, 255));
  m_tree.SetImageList(&m_imageList, TVSIL_NORMAL);

  CDARU* daru = CDARU::Instance();
  CLabelTree* labels = daru != nullptr ? daru->GetLabelTree() : nullptr;
  CLabel* head = labels != nullptr ? labels->GetHeadLabel() : nullptr;
  if (head != nullptr) {
    HTREEITEM root = InsertLabel(head, TVI_ROOT);
    InsertChildren(head, root);
    m_tree.Expand(root, TVE_EXPAND);
  }
  UpdateData(FALSE);
  return TRUE;
}

HTREEITEM CNewLabelDlg::InsertLabel(CLabel* label, HTREEITEM parentItem) {
  HTREEITEM item = m_tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, label->name, IMAGE_LABEL,
                                     IMAGE_LABEL, 0, 0, reinterpret_cast<LPARAM>(label), parentItem, TVI_LAST);
  CDB* db = Store();
  if (item != nullptr && db != nullptr && targetArticle != nullptr) {
    CLabelToArticle link(label->labelid, targetArticle->articleid);
    if (db->QueryLabelToArticle(link)) m_tree.SetCheck(item, TRUE);
  }
  return item;
}

void CNewLabelDlg::InsertChildren(CLabel* parent, HTREEITEM parentItem) {
  // An explicit stack: a deep hierarchy must not exhaust the call stack, and a
  // label met twice (a damaged hierarchy) is shown once.
  std::vector<std::pair<CLabel*, HTREEITEM>> pending{{parent, parentItem}};
  std::unordered_set<CLabel*> seen{parent};
  while (!pending.empty()) {
    auto [label, item] = pending.back();
    pending.pop_back();
    std::vector<std::pair<CLabel*, HTREEITEM>> children;
    for (CLabel* child = label->firstChild; child != nullptr; child = child->nextSibling) {
      if (!seen.insert(child).second) break;
      children.emplace_back(child, InsertLabel(child, item));
    }
    // Reversed, so the first child's branch comes next.
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

std::vector<CLabel*> CNewLabelDlg::TickedLabels() const {
  std::vector<CLabel*> ticked;
  std::vector<HTREEITEM> pending;
  if (HTREEITEM root = m_tree.GetRootItem()) pending.push_back(root);
  while (!pending.empty()) {
    HTREEITEM item = pending.back();
    pending.pop_back();
    if (m_tree.GetCheck(item) == 1) ticked.push_back(reinterpret_cast<CLabel*>(m_tree.GetItemData(item)));
    // The children wait until the following siblings are done.
    if (HTREEITEM child = m_tree.GetChildItem(item)) pending.push_back(child);
    if (HTREEITEM next = m_tree.GetNextSiblingItem(item)) pending.push_back(next);
  }
  return ticked;
}

void CNewLabelDlg::OnOK() {
  const std::vector<CLabel*> ticked = TickedLabels();
  std::vector<int> ids;
  ids.reserve(ticked.size());
  for (const CLabel* label : ticked) ids.push_back(label->labelid);

  // The old links go and the new ones come in one transaction, so a link that
  // cannot be written leaves the article exactly as it was filed.
  CDB* db = Store();
  int failedLabel = 0;
  if (db == nullptr || targetArticle == nullptr ||
      !db->ReplaceArticleLabels(targetArticle->articleid, ids, failedLabel)) {
    const CLabel* failed = nullptr;
    for (const CLabel* label : ticked)
      if (failedLabel != 0 && label->labelid == failedLabel) failed = label;
    if (failed != nullptr)
      WindowMessage(u"给文章加上标签:" + failed->name + u" 时出现了错误!");
    else
      WindowMessage(u"执行操作出现了错误!");
    EndDialog(IDCANCEL);
    return;
  }

  linkCount = static_cast<int>(ids.size());
  for (const CLabel* label : ticked)
    if (label == shownLabel) leftShownLabel = 0;
  if (linkCount > 0) targetArticle->labels = linkCount;
  EndDialog(IDOK);
}
