#pragma once

#include <locale.h>

#include <mutex>
#include <string>

#include "base/DaruApi.h"

// ODBC drivers convert text by the locale, so the library's calls into a
// driver run with a UTF-8 locale of the calling thread, whatever locale the
// host has chosen for the process. While one lives, the thread has it; the
// thread's locale before comes back afterwards.
class DARU_API CDriverLocale {
 public:
  CDriverLocale();
  ~CDriverLocale();
  CDriverLocale(const CDriverLocale&) = delete;
  CDriverLocale& operator=(const CDriverLocale&) = delete;

 private:
  locale_t m_previous = static_cast<locale_t>(nullptr);
};

// Some drivers set the locale of the whole process while they connect (the
// PostgreSQL driver does). setlocale frees the name of the locale it
// replaces, which another thread's connect may be reading, and the host's
// choice would be lost. So every connect, the store's and the provisioning's,
// runs inside one of these: connects from several threads take turns, and
// the process locale is put back when the connect is over.
class DARU_API CDriverConnectScope {
 public:
  CDriverConnectScope();
  ~CDriverConnectScope();
  CDriverConnectScope(const CDriverConnectScope&) = delete;
  CDriverConnectScope& operator=(const CDriverConnectScope&) = delete;

 private:
  std::unique_lock<std::mutex> m_turn;
  std::string m_saved;  // the process locale before the connect
};
