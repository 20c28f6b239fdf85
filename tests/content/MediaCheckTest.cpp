#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "content/MediaCheck.h"
#include "core/Article.h"
#include "fixtures/TempDir.h"

namespace fs = std::filesystem;

namespace {

MediaCheck Check(const fs::path& file, const fs::path& folder) {
  return CheckMediaFile(file.u16string(), folder.u16string());
}

}  // namespace

// What may be copied into the library, and every way out of the folder.
TEST(MediaCheck, OnlyRegularFilesReallyInsideTheFolderWithoutLinks) {
  TempDir dir;
  const fs::path feeds = dir.path() / "feeds";
  fs::create_directories(feeds / "sub");
  std::ofstream(feeds / "a.wav") << "a";
  std::ofstream(feeds / "sub" / "b.wav") << "b";
  std::ofstream(dir.path() / "secret") << "s";
  EXPECT_EQ(Check(feeds / "a.wav", feeds), MediaCheck::Accepted);
  EXPECT_EQ(Check(feeds / "sub" / "b.wav", feeds), MediaCheck::Accepted);
  EXPECT_EQ(Check(feeds / "." / "sub" / "b.wav", feeds.string() + "/"), MediaCheck::Accepted);
  // The folder's own path may pass through links; only the way below it may not.
  fs::create_directory_symlink(feeds, dir.path() / "alias");
  EXPECT_EQ(Check(dir.path() / "alias" / "a.wav", dir.path() / "alias"), MediaCheck::Accepted);
  // An empty folder stands for the file's own.
  EXPECT_EQ(CheckMediaFile((feeds / "a.wav").u16string(), u""), MediaCheck::Accepted);

  fs::create_directory_symlink("..", feeds / "up");
  EXPECT_EQ(Check(feeds / "up" / "secret", feeds), MediaCheck::Link);
  fs::create_symlink(dir.path() / "secret", feeds / "shadow");
  EXPECT_EQ(Check(feeds / "shadow", feeds), MediaCheck::Link);
  fs::create_symlink(feeds / "a.wav", feeds / "inside-link");
  EXPECT_EQ(Check(feeds / "inside-link", feeds), MediaCheck::Link);
  EXPECT_EQ(Check(feeds / ".." / "secret", feeds), MediaCheck::Outside);
  EXPECT_EQ(Check(dir.path() / "secret", feeds), MediaCheck::Outside);
  EXPECT_EQ(Check(dir.path() / "feedsx" / "a.wav", feeds), MediaCheck::Outside);

  EXPECT_EQ(Check(feeds / "none.wav", feeds), MediaCheck::Missing);
  EXPECT_EQ(Check(feeds / "a.wav" / "x", feeds), MediaCheck::Missing);
  EXPECT_EQ(Check(feeds / "sub", feeds), MediaCheck::NotRegular);
  ASSERT_EQ(mkfifo((feeds / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(Check(feeds / "pipe", feeds), MediaCheck::NotRegular);
  { std::ofstream big(feeds / "big.wav"); }
  fs::resize_file(feeds / "big.wav", kMaxMediaFileSize + 1);  // sparse: no disk taken
  EXPECT_EQ(Check(feeds / "big.wav", feeds), MediaCheck::TooLarge);
  fs::resize_file(feeds / "big.wav", kMaxMediaFileSize);
  EXPECT_EQ(Check(feeds / "big.wav", feeds), MediaCheck::Accepted);
}
