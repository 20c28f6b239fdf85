#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "base/DaruApi.h"

// COM result codes and the COM error exception, as the XML layer raises them.
using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

class DARU_API _com_error : public std::exception {
 public:
  explicit _com_error(HRESULT hr, std::u16string source = {}, std::u16string description = {});
  _com_error(const _com_error& other);
  _com_error& operator=(const _com_error& other);
  ~_com_error() override;

  HRESULT Error() const { return m_hr; }
  const std::u16string& Source() const { return m_source; }
  const std::u16string& Description() const { return m_description; }
  // A short text for the code: "Unknown error 0x80004003" style, or the
  // description when there is one.
  std::u16string ErrorMessage() const;
  const char* what() const noexcept override;

 private:
  HRESULT m_hr;
  std::u16string m_source;
  std::u16string m_description;
  std::string m_what;
};
