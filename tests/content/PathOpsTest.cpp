#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "ContentFiles.h"
#include "content/PathOps.h"
#include "base/TextConv.h"

using namespace contenttest;
namespace fs = std::filesystem;

namespace {

class PathOps : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(top / "a" / "b" / "c");
    WriteBytes(top / "f.xml", "1");
    WriteBytes(top / "a" / "g.txt", "2");
    WriteBytes(top / "a" / "b" / "c" / "h", "3");
    fs::create_directories(outside / "keep");
    WriteBytes(outside / "keep" / "precious", "data");
    cwd = fs::current_path();
  }
  void TearDown() override { EXPECT_EQ(fs::current_path(), cwd); }  // never moved

  static std::u16string U(const fs::path& p) { return FromUtf8(p.string()); }
  static void MakeReadOnly(const fs::path& p) { chmod(p.c_str(), 0444); }

  TempDir tmp;
  fs::path top = tmp.path() / "top";
  fs::path outside = tmp.path() / "outside";
  fs::path cwd;
};

}  // namespace

TEST_F(PathOps, FolderExistsWithOrWithoutTrailingSeparator) {
  EXPECT_TRUE(FolderExists(U(top)));
  EXPECT_TRUE(FolderExists(U(top) + u"/"));
  EXPECT_FALSE(FolderExists(U(top / "f.xml")));
  EXPECT_FALSE(FolderExists(U(top / "none")));
  EXPECT_FALSE(FolderExists(U(top / "none") + u"/"));
  EXPECT_FALSE(FolderExists(u""));
}

TEST_F(PathOps, PathExistsTellsFilesFromFolders) {
  EXPECT_TRUE(PathExists(U(top / "a"), false));
  EXPECT_FALSE(PathExists(U(top / "a"), true));
  EXPECT_TRUE(PathExists(U(top / "f.xml"), true));
  EXPECT_FALSE(PathExists(U(top / "f.xml"), false));
  EXPECT_FALSE(PathExists(U(top / "none"), true));
  EXPECT_FALSE(PathExists(u"", true));
  EXPECT_FALSE(PathExists(u"", false));
  // Wildcards in the last part; every match counts, of the kind asked for.
  EXPECT_TRUE(PathExists(U(top / "*.xml"), true));
  EXPECT_FALSE(PathExists(U(top / "*.txt"), true));
  EXPECT_TRUE(PathExists(U(top / "a" / "?.txt"), true));
  EXPECT_TRUE(PathExists(U(top / "a" / "*.*"), false));  // b
  EXPECT_TRUE(PathExists(U(top / "a" / "*.*"), true));   // g.txt
  EXPECT_FALSE(PathExists(U(top / "a" / "b" / "c" / "h*"), false));
  EXPECT_TRUE(PathExists(U(top / "a" / "b" / "c" / "h*"), true));
  EXPECT_FALSE(PathExists(U(top / "*" / "g.txt"), true));  // not in the folder part
}

TEST_F(PathOps, RemoveFolderTakesTheWholeTree) {
  EXPECT_TRUE(RemoveFolder(U(top)));
  EXPECT_FALSE(fs::exists(top));
  EXPECT_FALSE(RemoveFolder(U(top)));  // nothing left to remove
  EXPECT_FALSE(EmptyFolder(U(top)));

  fs::create_directories(top / "x" / "y");
  EXPECT_TRUE(DeletePath(U(top) + u"/", false));  // a trailing separator is fine
  EXPECT_FALSE(fs::exists(top));

  fs::create_directory(top);
  EXPECT_TRUE(EmptyFolder(U(top)));  // nothing to remove
  EXPECT_TRUE(fs::exists(top));
}

TEST_F(PathOps, ReadOnlyEntryKeepsTheFolder) {
  MakeReadOnly(top / "a" / "b" / "c" / "h");
  EXPECT_FALSE(RemoveFolder(U(top)));
  EXPECT_TRUE(fs::exists(top / "a" / "b" / "c" / "h"));
  EXPECT_FALSE(fs::exists(top / "f.xml"));  // what could go is gone
  EXPECT_FALSE(fs::exists(top / "a" / "g.txt"));
  EXPECT_FALSE(DeletePath(U(top / "a" / "b" / "c" / "h"), true));
}

TEST_F(PathOps, LinksAreRemovedNotFollowed) {
  fs::create_directory_symlink(outside / "keep", top / "a" / "dirlink");
  fs::create_symlink(outside / "keep" / "precious", top / "filelink");
  EXPECT_TRUE(RemoveFolder(U(top)));
  EXPECT_FALSE(fs::exists(top));
  EXPECT_EQ(ReadBytes(outside / "keep" / "precious"), "data");

  // A folder named through a link is not emptied, with or without a separator.
  fs::create_directory_symlink(outside / "keep", tmp.path() / "link");
  for (std::u16string name : {u"link", u"link/", u"link//"}) {
    std::u16string path = U(tmp.path()) + u"/" + name;
    EXPECT_FALSE(EmptyFolder(path)) << ToUtf8(name);
    EXPECT_FALSE(RemoveFolder(path)) << ToUtf8(name);
    EXPECT_FALSE(DeletePath(path, false)) << ToUtf8(name);
  }
  EXPECT_EQ(ReadBytes(outside / "keep" / "precious"), "data");
  // Deleting a link as a file takes the link only.
  EXPECT_TRUE(DeletePath(U(tmp.path() / "link"), true));
  EXPECT_TRUE(fs::exists(outside / "keep" / "precious"));
}

TEST_F(PathOps, DeletePath) {
  EXPECT_TRUE(DeletePath(u"", true));  // nothing to do, nothing touched
  EXPECT_TRUE(DeletePath(u"", false));
  EXPECT_TRUE(fs::exists(top / "f.xml"));
  EXPECT_TRUE(DeletePath(U(top / "f.xml"), true));
  EXPECT_FALSE(fs::exists(top / "f.xml"));
  EXPECT_FALSE(DeletePath(U(top / "f.xml"), true));  // already gone
  EXPECT_FALSE(DeletePath(U(top / "a"), true));      // a folder is not a file
  EXPECT_TRUE(fs::exists(top / "a" / "g.txt"));
  EXPECT_TRUE(DeletePath(U(top / "a"), false));
  EXPECT_FALSE(fs::exists(top / "a"));
}
