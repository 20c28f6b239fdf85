#include "platform/ListRowStore.h"

namespace listctrl {

namespace {
constexpr uint32_t kNoTexts = UINT32_MAX;
// Runs no row refers to are squeezed out once they outweigh the live ones and
// are worth the copy.
constexpr size_t kMinWaste = 1 << 16;
}  // namespace

void RowStore::Insert(size_t index, const Row& row) {
  uint32_t slot;
  if (!m_freeSlots.empty()) {
    slot = m_freeSlots.back();
    m_freeSlots.pop_back();
  } else {
    slot = static_cast<uint32_t>(m_slots.size());
    m_slots.emplace_back();
  }
  m_slots[slot] = row;
  m_slots[slot].texts = kNoTexts;
  m_order.insert(m_order.begin() + static_cast<std::ptrdiff_t>(index), slot);
}

void RowStore::Erase(size_t index) {
  const uint32_t slot = m_order[index];
  Forget(m_slots[slot]);
  m_order.erase(m_order.begin() + static_cast<std::ptrdiff_t>(index));
  if (m_order.empty()) {
    Clear();
    return;
  }
  m_freeSlots.push_back(slot);
  CompactIfWasteful();
}

void RowStore::Clear() {
  // The buffers stay for the next fill (the article list is cleared and
  // refilled at every label the user opens): handing several megabytes back
  // to the system and faulting them in again would cost more than the rows.
  m_slots.clear();
  m_freeSlots.clear();
  m_order.clear();
  m_units.clear();
  m_wasted = 0;
}

size_t RowStore::RunLength(uint32_t start) const {
  const char16_t* run = m_units.data() + start;
  const uint32_t count = ReadNumber(run);
  size_t length = 2 + 2 * static_cast<size_t>(count);
  for (uint32_t i = 0; i < count; ++i) length += ReadNumber(run + 2 + 2 * i);
  return length;
}

void RowStore::Split(const Row& row, std::vector<std::u16string_view>& texts) const {
  texts.clear();
  if (row.texts == kNoTexts) return;
  const char16_t* run = m_units.data() + row.texts;
  const uint32_t count = ReadNumber(run);
  const char16_t* text = run + 2 + 2 * static_cast<size_t>(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t length = ReadNumber(run + 2 + 2 * i);
    texts.emplace_back(text, length);
    text += length;
  }
}

std::u16string_view RowStore::Text(const Row& row, int subItem) const {
  if (row.texts == kNoTexts || subItem < 0) return {};
  const char16_t* run = m_units.data() + row.texts;
  const uint32_t count = ReadNumber(run);
  if (static_cast<uint32_t>(subItem) >= count) return {};
  const char16_t* text = run + 2 + 2 * static_cast<size_t>(count);
  for (int i = 0; i < subItem; ++i) text += ReadNumber(run + 2 + 2 * i);
  return {text, ReadNumber(run + 2 + 2 * static_cast<size_t>(subItem))};
}

bool RowStore::SetText(Row& row, int subItem, std::u16string_view text) {
  if (subItem < 0 || subItem >= kMaxSubItems || text.size() > UINT32_MAX / 2) return false;
  Split(row, m_split);
  if (m_split.size() <= static_cast<size_t>(subItem)) m_split.resize(static_cast<size_t>(subItem) + 1);
  m_split[static_cast<size_t>(subItem)] = text;
  return Store(row, m_split);
}

bool RowStore::Store(Row& row, const std::vector<std::u16string_view>& texts) {
  // Composed apart first: the views may point into the buffer being changed.
  m_scratch.clear();
  AppendNumber(m_scratch, static_cast<uint32_t>(texts.size()));
  for (std::u16string_view t : texts) AppendNumber(m_scratch, static_cast<uint32_t>(t.size()));
  for (std::u16string_view t : texts) m_scratch.append(t);
  // A run must start where a 32-bit offset reaches.
  if (m_units.size() + m_scratch.size() >= kNoTexts) return false;
  if (row.texts != kNoTexts && row.texts + RunLength(row.texts) == m_units.size()) {
    // The newest run (a row just put in and being filled) is rewritten in place.
    m_units.resize(row.texts);
  } else {
    Forget(row);
  }
  row.texts = static_cast<uint32_t>(m_units.size());
  m_units.append(m_scratch);
  CompactIfWasteful();
  return true;
}

void RowStore::Forget(const Row& row) {
  if (row.texts != kNoTexts) m_wasted += RunLength(row.texts);
}

void RowStore::InsertSubItem(int subItem) {
  for (uint32_t slot : m_order) {
    Row& row = m_slots[slot];
    Split(row, m_split);
    if (m_split.size() <= static_cast<size_t>(subItem)) continue;
    m_split.insert(m_split.begin() + subItem, std::u16string_view());
    Store(row, m_split);
  }
}

void RowStore::EraseSubItem(int subItem) {
  for (uint32_t slot : m_order) {
    Row& row = m_slots[slot];
    Split(row, m_split);
    if (m_split.size() <= static_cast<size_t>(subItem)) continue;
    m_split.erase(m_split.begin() + subItem);
    Store(row, m_split);
  }
}

void RowStore::Permute(const std::vector<int>& order) {
  std::deque<uint32_t> reordered;
  for (int i : order) reordered.push_back(m_order[static_cast<size_t>(i)]);
  m_order.swap(reordered);
}

void RowStore::CompactIfWasteful() {
  if (m_wasted < kMinWaste || m_wasted < m_units.size() - m_wasted) return;
  std::u16string packed;
  packed.reserve(m_units.size() - m_wasted);
  for (uint32_t slot : m_order) {
    Row& row = m_slots[slot];
    if (row.texts == kNoTexts) continue;
    const size_t length = RunLength(row.texts);
    const uint32_t at = static_cast<uint32_t>(packed.size());
    packed.append(m_units, row.texts, length);
    row.texts = at;
  }
  m_units.swap(packed);
  m_wasted = 0;
}

}  // namespace listctrl
