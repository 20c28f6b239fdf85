#pragma once

// The list control's rows: their display order, their fields and their
// texts, kept so that no row owns a heap block of its own. A row's fields sit
// in one array of slots, the display order is a deque of slot numbers (cheap
// to grow and shrink at either end, cheap to sort), and every row's texts are
// one run in a shared buffer of text units. Clearing a long list therefore
// visits no row and frees no block per row, and a sort moves slot numbers
// rather than rows.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinTypes.h"

namespace listctrl {

struct Row {
  uint32_t texts = UINT32_MAX;  // where the row's texts start in the store's buffer; none yet
  int image = 0;
  UINT state = 0;
  LPARAM data = 0;
  int indent = 0;
  int redraws = 0;
};

class RowStore {
 public:
  // Subitems a row may have a text for; a text further right is refused.
  static constexpr int kMaxSubItems = 1024;

  size_t size() const { return m_order.size(); }
  bool empty() const { return m_order.empty(); }
  // The row at a display index (which the caller has checked).
  Row& operator[](size_t index) { return m_slots[m_order[index]]; }
  const Row& operator[](size_t index) const { return m_slots[m_order[index]]; }

  // Puts a row in at a display index (0 to size()), with no texts.
  void Insert(size_t index, const Row& row);
  void Erase(size_t index);
  // Takes out every row; the buffers are kept for the rows to come.
  void Clear();

  // A subitem's text; empty when the row has none for it.
  std::u16string_view Text(const Row& row, int subItem) const;
  // False (and nothing changed) for a subitem outside 0 to kMaxSubItems - 1.
  bool SetText(Row& row, int subItem, std::u16string_view text);
  // A column put in or taken out at a subitem shifts the texts to its right.
  void InsertSubItem(int subItem);
  void EraseSubItem(int subItem);

  // Reorders the rows, keeping equal rows in their order.
  template <class Less>
  void StableSort(Less less) {
    std::stable_sort(m_order.begin(), m_order.end(),
                     [&](uint32_t a, uint32_t b) { return less(m_slots[a], m_slots[b]); });
  }
  // Puts the rows in the order of their current display indices in `order`.
  void Permute(const std::vector<int>& order);

 private:
  // A run of text units: the count of texts, each text's length, then the
  // texts one after another; counts and lengths take two units each.
  static uint32_t ReadNumber(const char16_t* at) { return at[0] | (static_cast<uint32_t>(at[1]) << 16); }
  static void AppendNumber(std::u16string& to, uint32_t n) {
    to.push_back(static_cast<char16_t>(n & 0xFFFF));
    to.push_back(static_cast<char16_t>(n >> 16));
  }
  size_t RunLength(uint32_t start) const;
  // Reads a row's texts into views over the buffer.
  void Split(const Row& row, std::vector<std::u16string_view>& texts) const;
  // Replaces a row's run with the run of `texts`; false (nothing changed)
  // when the buffer cannot take it.
  bool Store(Row& row, const std::vector<std::u16string_view>& texts);
  void Forget(const Row& row);
  void CompactIfWasteful();

  std::vector<Row> m_slots;  // rows by slot; a free slot waits in m_freeSlots
  std::vector<uint32_t> m_freeSlots;
  std::deque<uint32_t> m_order;  // slot numbers in display order
  std::u16string m_units;        // every row's run of texts
  size_t m_wasted = 0;           // units of runs no row refers to any more
  std::u16string m_scratch;      // a run being composed
  std::vector<std::u16string_view> m_split;
};

}  // namespace listctrl
