// What the fuzz harnesses found, pinned down so that it stays fixed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "content/XmlDocument.h"
#include "core/TextConv.h"
#include "fixtures/TempDir.h"

namespace fs = std::filesystem;

// A file whose bytes do not fit the encoding it declares is refused quietly:
// the engine must not write its complaints to the host's stderr.
TEST(FoundByFuzzing, AFileInTheWrongEncodingIsRefusedWithoutWritingToStderr) {
  TempDir dir;
  fs::path file = dir.path() / "wrong.xml";
  std::ofstream(file, std::ios::binary) << "<?xml version=\"1.0\" encoding=\"GB2312\"?><a><b>\xC4<</b>\x80\xD6</a>";
  testing::internal::CaptureStderr();
  bool loaded;
  {
    CXmlDocument xml;
    loaded = xml.LoadFile(FromUtf8(file.string()));
  }
  std::string written = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(loaded);
  EXPECT_EQ(written, "");
}
