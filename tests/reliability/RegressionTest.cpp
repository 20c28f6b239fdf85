// What the fuzz harnesses and the fault runs found, pinned down so that it
// stays fixed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "content/XmlDocument.h"
#include "core/Article.h"
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

namespace {

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// A description file rewritten on a full disk (here: past the process's file
// size limit) must leave the previous file whole, with its description and
// comment, instead of a truncated one.
TEST(FoundByFaults, ARewriteThatCannotBeCompletedKeepsThePreviousDescriptionFile) {
  TempDir dir;
  fs::path file = dir.path() / "0123456789abcdef0123456789abcdef.xml";
  CArticle article;
  article.filename = u"0123456789abcdef0123456789abcdef";
  article.SetDescription(u"the first description");
  ASSERT_TRUE(article.CreateDescriptionFile(FromUtf8(dir.path().string()), true));
  const std::string before = ReadAll(file);

  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    article.SetDescription(std::u16string(20000, u'x'));
    _exit(article.CreateDescriptionFile(FromUtf8(dir.path().string()), true) ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save did not report its failure";
  EXPECT_EQ(ReadAll(file), before);
  for (const auto& entry : fs::directory_iterator(dir.path())) EXPECT_EQ(entry.path(), file) << "left behind";
}

// A description file keeps its permissions across a rewrite, and one that its
// owner may not write is not replaced.
TEST(FoundByFaults, ARewriteKeepsTheFilesPermissions) {
  TempDir dir;
  fs::path file = dir.path() / "0123456789abcdef0123456789abcdef.xml";
  CArticle article;
  article.filename = u"0123456789abcdef0123456789abcdef";
  ASSERT_TRUE(article.CreateDescriptionFile(FromUtf8(dir.path().string()), true));
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  article.SetComment(u"second");
  ASSERT_TRUE(article.CreateDescriptionFile(FromUtf8(dir.path().string()), true));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(ReadAll(file).find("second"), std::string::npos);

  fs::permissions(file, fs::perms::owner_read);
  const std::string before = ReadAll(file);
  article.SetComment(u"third");
  EXPECT_FALSE(article.CreateDescriptionFile(FromUtf8(dir.path().string()), true));
  EXPECT_EQ(ReadAll(file), before);
}
