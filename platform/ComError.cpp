#include "platform/ComError.h"

#include "base/TextConv.h"
#include "base/U16Format.h"

_com_error::_com_error(HRESULT hr, std::u16string source, std::u16string description)
    : m_hr(hr), m_source(std::move(source)), m_description(std::move(description)) {
  m_what = ToUtf8(ErrorMessage());
}

_com_error::_com_error(const _com_error& other) = default;
_com_error& _com_error::operator=(const _com_error& other) = default;
_com_error::~_com_error() = default;

std::u16string _com_error::ErrorMessage() const {
  std::u16string text = Fmt(u"Unknown error 0x%0lX", static_cast<unsigned long>(static_cast<uint32_t>(m_hr)));
  if (!m_description.empty()) text += u": " + m_description;
  return text;
}

const char* _com_error::what() const noexcept { return m_what.c_str(); }
