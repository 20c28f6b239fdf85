#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "facade/DARU.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/TempDir.h"
#include "platform/MessageBox.h"

// Shared by the content-file suites: a data root with the two type folders,
// small file helpers, and a user who records every message box.

namespace contenttest {

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// True when xmllint reads the file without any error (a missing xmllint skips).
inline bool XmllintAccepts(const std::filesystem::path& path) {
  std::string cmd = "xmllint --noout --nonet '" + path.string() + "' 2>/dev/null";
  return std::system(cmd.c_str()) == 0;
}

inline bool HaveXmllint() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

class RecordingUser : public IUserInteraction {
 public:
  RecordingUser() : m_previous(SetUserInteraction(this)) {}
  ~RecordingUser() override { SetUserInteraction(m_previous); }
  int MessageBox(const std::u16string& text, const std::u16string&, UINT type) override {
    texts.push_back(text);
    types.push_back(type);
    return IDOK;
  }
  std::vector<std::u16string> texts;
  std::vector<UINT> types;

 private:
  IUserInteraction* m_previous;  // borrowed: restored when the recorder goes
};

// A data root whose DARU folder holds the type folders web ("B") and rss ("A").
class ContentRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(daru() / "web");
    std::filesystem::create_directories(daru() / "rss");
    auto& types = CDARUTestAccess::Types(CDARU::Instance());
    types.emplace_back(1, u"B", u"web");
    types.emplace_back(2, u"A", u"rss");
  }
  void TearDown() override { delete CDARU::Instance(); }

  std::filesystem::path daru() const { return tmp.path() / "DARU"; }

  TempDir tmp;
  ScopedDataRoot root{tmp.path()};
  RecordingUser user;
};

}  // namespace contenttest
