#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/Files.h"
#include "fixtures/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& file) {
  std::string bytes;
  EXPECT_TRUE(ReadRegularFile(file.string(), 1 << 20, bytes)) << file;
  return bytes;
}

class Files : public ::testing::TestWithParam<FileDurability> {
 protected:
  void SetUp() override {
    m_before = GetFileDurability();
    SetFileDurability(GetParam());
  }
  void TearDown() override { SetFileDurability(m_before); }
  TempDir dir;
  FileDurability m_before = FileDurability::Atomic;
};

}  // namespace

TEST_P(Files, ReplaceWritesANewFileAndReplacesAnOldOneWholeKeepingItsMode) {
  const fs::path file = dir.path() / "a.xml";
  ASSERT_TRUE(ReplaceFile(file.string(), "first"));
  EXPECT_EQ(Slurp(file), "first");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(ReplaceFile(file.string(), std::string(100000, 'x')));
  EXPECT_EQ(Slurp(file), std::string(100000, 'x'));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_FALSE(fs::exists(file.string() + kPartSuffix));
}

TEST_P(Files, AReadOnlyFileIsKeptAndAFailedWriteLeavesNoCopy) {
  const fs::path file = dir.path() / "kept.xml";
  std::ofstream(file) << "mine";
  fs::permissions(file, fs::perms::owner_read);
  EXPECT_FALSE(ReplaceFile(file.string(), "theirs"));
  EXPECT_EQ(Slurp(file), "mine");

  // A new file that cannot be completed leaves nothing at all.
  EXPECT_FALSE(ReplaceFileWithCopy((dir.path() / "none").string(), (dir.path() / "new.xml").string(), 100));
  EXPECT_FALSE(fs::exists(dir.path() / "new.xml"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  // A folder that does not exist: nothing is written anywhere.
  EXPECT_FALSE(ReplaceFile((dir.path() / "missing" / "b.xml").string(), "x"));
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST_P(Files, ALinkIsReplacedNotWrittenThrough) {
  const fs::path outside = dir.path() / "outside.txt";
  std::ofstream(outside) << "untouched";
  const fs::path link = dir.path() / "link.xml";
  fs::create_symlink(outside, link);
  ASSERT_TRUE(ReplaceFile(link.string(), "new"));
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(link), "new");
  EXPECT_EQ(Slurp(outside), "untouched");

  // Nor is a link where a copy once went, for a new file or an old one: each
  // write makes a copy of its own.
  const fs::path target = dir.path() / "c.xml";
  fs::create_symlink(outside, target.string() + kPartSuffix);
  EXPECT_TRUE(ReplaceFile(target.string(), "x"));
  EXPECT_EQ(Slurp(target), "x");
  EXPECT_TRUE(ReplaceFile(target.string(), "y"));
  EXPECT_EQ(Slurp(target), "y");
  EXPECT_EQ(Slurp(outside), "untouched");
}

// Whatever is at the path already is asked about, and kept when refused; a
// new file is written without asking.
TEST_P(Files, AConditionalReplaceAsksOnlyAboutWhatIsThere) {
  const fs::path file = dir.path() / "b.xml";
  int asked = 0;
  bool allow = false;
  auto mayReplace = [&] {
    ++asked;
    return allow;
  };
  ASSERT_TRUE(ReplaceFileIf(file.string(), "new", mayReplace));
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(ReplaceFileIf(file.string(), "refused", mayReplace));
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Slurp(file), "new");
  allow = true;
  ASSERT_TRUE(ReplaceFileIf(file.string(), "allowed", mayReplace));
  EXPECT_EQ(Slurp(file), "allowed");
  // A dangling link is something there too.
  const fs::path link = dir.path() / "c.xml";
  fs::create_symlink(dir.path() / "nowhere", link);
  allow = false;
  EXPECT_FALSE(ReplaceFileIf(link.string(), "x", mayReplace));
  EXPECT_EQ(asked, 3);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
}

TEST_P(Files, CopiesOnlyRegularFilesAndSurvivesCopyingOntoItself) {
  const fs::path source = dir.path() / "clip.wav";
  std::ofstream(source) << std::string(200000, 'w');
  const fs::path copy = dir.path() / "mime.zevm";
  ASSERT_TRUE(ReplaceFileWithCopy(source.string(), copy.string(), 200000));
  EXPECT_EQ(Slurp(copy), std::string(200000, 'w'));
  ASSERT_TRUE(ReplaceFileWithCopy(copy.string(), copy.string(), 200000));
  EXPECT_EQ(Slurp(copy), std::string(200000, 'w'));
  EXPECT_FALSE(ReplaceFileWithCopy(dir.path().string(), copy.string(), 200000));  // a folder
  EXPECT_FALSE(ReplaceFileWithCopy((dir.path() / "none").string(), copy.string(), 200000));
  EXPECT_FALSE(ReplaceFileWithCopy(source.string(), copy.string(), 199999));  // above the limit
  fs::create_symlink(source, dir.path() / "link.wav");
  EXPECT_FALSE(ReplaceFileWithCopy((dir.path() / "link.wav").string(), copy.string(), 200000));
  EXPECT_EQ(Slurp(copy), std::string(200000, 'w'));
}

INSTANTIATE_TEST_SUITE_P(Durability, Files, ::testing::Values(FileDurability::Atomic, FileDurability::Synced));

TEST(ReadRegularFile, RefusesWhatIsNoRegularFileOrTooLarge) {
  TempDir dir;
  const fs::path file = dir.path() / "f";
  std::ofstream(file) << "12345";
  std::string bytes = "stale";
  EXPECT_TRUE(ReadRegularFile(file.string(), 5, bytes));
  EXPECT_EQ(bytes, "12345");
  EXPECT_FALSE(ReadRegularFile(file.string(), 4, bytes));
  EXPECT_FALSE(ReadRegularFile(dir.path().string(), 100, bytes));
  const fs::path fifo = dir.path() / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadRegularFile(fifo.string(), 100, bytes));  // and does not block on it
  std::ofstream(dir.path() / "empty");
  EXPECT_TRUE(ReadRegularFile((dir.path() / "empty").string(), 0, bytes));
  EXPECT_EQ(bytes, "");
}
