#pragma once

// What the file harnesses share: one data root for the whole run, on a
// RAM-backed folder where there is one, with the type folders web ("B") and
// rss ("A") known to the facade, and nobody answering message boxes.

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/TextConv.h"
#include "facade/DARU.h"
#include "fixtures/DaruAccess.h"
#include "platform/MessageBox.h"
#include "platform/ModuleInfo.h"

namespace fuzzroot {

class SilentUser : public IUserInteraction {
 public:
  int MessageBox(const std::u16string&, const std::u16string&, UINT) override { return IDOK; }
};

class Root {
 public:
  Root() {
    std::filesystem::path base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "darufuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    m_path = pattern;
    std::filesystem::create_directories(m_path / "DARU" / "web");
    std::filesystem::create_directories(m_path / "DARU" / "rss");
    DaruSetModuleFileName(FromUtf8((m_path / "daru").string()));
    auto& types = CDARUTestAccess::Types(CDARU::Instance());
    types.emplace_back(1, u"B", u"web");
    types.emplace_back(2, u"A", u"rss");
    SetUserInteraction(&m_user);
  }
  ~Root() {
    SetUserInteraction(nullptr);
    delete CDARU::Instance();
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path daru() const { return m_path / "DARU"; }

 private:
  std::filesystem::path m_path;
  SilentUser m_user;
};

inline Root& Shared() {
  static Root root;
  return root;
}

inline void WriteBytes(const std::filesystem::path& file, const uint8_t* data, size_t size) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

[[noreturn]] inline void Fail(const char* what, const std::u16string& detail = {}) {
  std::fprintf(stderr, "%s [%s]\n", what, ToUtf8(detail).c_str());
  std::abort();
}

}  // namespace fuzzroot
