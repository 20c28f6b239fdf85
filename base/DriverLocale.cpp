#include "base/DriverLocale.h"

#include <clocale>

namespace {

std::mutex& ConnectTurn() {
  static std::mutex turn;
  return turn;
}

}  // namespace

CDriverLocale::CDriverLocale() {
  static const locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (utf8 != static_cast<locale_t>(nullptr)) m_previous = uselocale(utf8);
}

CDriverLocale::~CDriverLocale() {
  if (m_previous != static_cast<locale_t>(nullptr)) uselocale(m_previous);
}

CDriverConnectScope::CDriverConnectScope() : m_turn(ConnectTurn()) {
  if (const char* current = std::setlocale(LC_ALL, nullptr)) m_saved = current;
}

CDriverConnectScope::~CDriverConnectScope() {
  if (!m_saved.empty()) std::setlocale(LC_ALL, m_saved.c_str());
}
