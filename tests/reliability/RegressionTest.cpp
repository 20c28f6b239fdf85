// What the fuzz harnesses and the fault runs found, pinned down so that it
// stays fixed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/Files.h"
#include "base/TextConv.h"
#include "content/MediaCheck.h"
#include "content/PathOps.h"
#include "content/XmlDocument.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "core/CaptureItems.h"
#include "facade/DARU.h"
#include "fixtures/ProvisionedRoot.h"
#include "fixtures/TempDir.h"
#include "storage/DB.h"

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

// An information file whose media name ends in a separator (or treats the
// file as a folder with "/.") names no file, even when the name without it is
// a file beside it.
TEST(FoundByFuzzing, AMediaNameEndingInASeparatorNamesNoFile) {
  TempDir dir;
  std::ofstream(dir.path() / "clip.mp3") << "media";
  fs::path info = dir.path() / "item.xml";
  for (const char* url : {"clip.mp3/", "clip.mp3/.", "./clip.mp3/./", "clip.mp3/./."}) {
    std::ofstream(info) << "<r><newstitle><link>l</link><mime><url>" << url << "</url></mime></newstitle></r>";
    CRSSSubItem item;
    item.mimeUrl = u"before";
    EXPECT_TRUE(item.LoadRSSInfo(FromUtf8(info.string())));
    EXPECT_EQ(item.mimeUrl, u"before") << url;
    EXPECT_EQ(CheckMediaFile(FromUtf8((dir.path() / url).string()), FromUtf8(dir.path().string())),
              MediaCheck::Missing)
        << url;
  }
  EXPECT_FALSE(PathExists(FromUtf8((dir.path() / "clip.mp3").string() + "/"), true));
  EXPECT_TRUE(PathExists(FromUtf8((dir.path() / "clip.mp3").string()), true));
  EXPECT_TRUE(PathExists(FromUtf8(dir.path().string() + "/"), false));
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

// Two processes capture one link at the same moment: both looked for it and
// found none. The second insert must not make a second article of the link;
// it files the stored one under its label.
TEST(FoundByTwoProcesses, ALinkStoredMeanwhileByAnotherProcessStaysOneArticle) {
  ProvisionedRoot root;
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'four',3)");
  std::unique_ptr<CDB> first(CreateStore(1)), second(CreateStore(1));
  ASSERT_TRUE(first->InitDB());
  ASSERT_TRUE(second->InitDB());
  auto capture = [](CDB& store, int label) {
    CArticle a;
    a.filename = u"0123456789abcdef0123456789abcdef";
    a.url = u"http://same.example/";
    a.type = u"B";
    a.label = label;
    EXPECT_TRUE(store.AddArticle(a)) << ToUtf8(store.GetLastDBError());
    return a.articleid;
  };
  int id = capture(*first, 3);
  EXPECT_EQ(capture(*second, 4), id);
  EXPECT_EQ(capture(*second, 4), id);  // and once more under the same label: nothing doubles
  EXPECT_EQ(root.Rows("SELECT articleid, labels FROM article"), Lines({(std::to_string(id) + "|2").c_str()}));
  EXPECT_EQ(root.Rows("SELECT labelid FROM articletolabel ORDER BY labelid"), Lines({"3", "4"}));
}

// --- found by an adversarial review -----------------------------------------

namespace {

CArticle ArticleIn(const ProvisionedRoot& root) {
  CArticle a;
  a.filename = u"0123456789abcdef0123456789abcdef";
  a.type = u"B";
  a.SetDescription(u"the description");
  a.SetComment(u"the comment");
  (void)root;
  return a;
}

}  // namespace

// A rewrite never replaces a description file it could not read, and never
// writes one the reader would refuse.
TEST(FoundByReview, AnUnreadableDescriptionFileIsNeverReplaced) {
  ProvisionedRoot root;
  root.LoadArticleTypes(CDARU::Instance());
  CArticle a = ArticleIn(root);
  const std::u16string web = FromUtf8((root.daru() / "web").string());
  ASSERT_TRUE(a.CreateDescriptionFile(web, true));
  const fs::path file = root.daru() / "web" / "0123456789abcdef0123456789abcdef.xml";
  fs::resize_file(file, fs::file_size(file) - 12);
  const std::string damaged = ReadAll(file);

  CArticle reread = ArticleIn(root);
  reread.SetDescription(u"");
  reread.SetComment(u"");
  EXPECT_EQ(reread.LoadDescription(), u"");
  EXPECT_TRUE(reread.DescriptionFileIsUnreadable());
  reread.SetComment(u"my note");
  EXPECT_FALSE(reread.CreateDescriptionFile(web, true));
  EXPECT_EQ(ReadAll(file), damaged);

  // Something that is not a regular file in its place is kept as well.
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_FALSE(reread.CreateDescriptionFile(web, true));
  EXPECT_TRUE(fs::is_directory(file));
  fs::remove(file);

  // 14 million ampersands escape to 70 MB, beyond what the reader takes.
  CArticle huge = ArticleIn(root);
  huge.SetDescription(std::u16string(14'000'000, u'&'));
  EXPECT_FALSE(huge.CreateDescriptionFile(web, true));
  EXPECT_FALSE(fs::exists(file));
  delete CDARU::Instance();
}

// A type folder the catalogue names outside the DARU folder is never written to.
TEST(FoundByReview, ADescriptionFileIsNeverWrittenOutsideTheDataRoot) {
  ProvisionedRoot root;
  root.Exec("UPDATE articletype SET path='../../elsewhere' WHERE type='B'");
  CDARU* daru = CDARU::Instance();
  root.LoadArticleTypes(daru);
  CArticle a = ArticleIn(root);
  fs::create_directories(root.path() / "elsewhere");
  EXPECT_FALSE(a.CreateDescriptionFile(GetTypeFolder(u"B"), true));
  EXPECT_FALSE(a.CreateDescriptionFile(FromUtf8((root.daru() / "web" / ".." / "..").string()), true));
  EXPECT_FALSE(a.CreateDescriptionFile(u"B", false));
  EXPECT_TRUE(fs::is_empty(root.path() / "elsewhere"));
  EXPECT_FALSE(fs::exists(root.path().parent_path() / "elsewhere"));
  delete daru;
}

// A media file named by a feed item must really lie beside the information
// file: not a symbolic link, not below a linked folder. A copy is never more
// open than its source.
TEST(FoundByReview, MediaFilesAreNeverReachedThroughLinks) {
  TempDir dir;
  TempDir outside;
  std::ofstream(outside.path() / "secret") << "secret";
  fs::permissions(outside.path() / "secret", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(outside.path() / "secret", dir.path() / "shadowlink");
  fs::create_directory_symlink(outside.path(), dir.path() / "linked");
  std::ofstream(dir.path() / "clip.mp3") << "media";
  for (const char* url : {"shadowlink", "linked/secret", "clip.mp3"}) {
    fs::path info = dir.path() / "item.xml";
    std::ofstream(info) << "<r><newstitle><title>t</title><link>l</link><mime><url>" << url
                        << "</url></mime></newstitle></r>";
    CRSSSubItem item;
    ASSERT_TRUE(item.LoadRSSInfo(FromUtf8(info.string())));
    if (std::string(url) == "clip.mp3")
      EXPECT_EQ(ToUtf8(item.mimeUrl), (dir.path() / "clip.mp3").string());
    else
      EXPECT_EQ(item.mimeUrl, u"") << url;
    EXPECT_EQ(CRSSSubItem::NamedMediaFile(FromUtf8(info.string())), FromUtf8(url));
  }

  ProvisionedRoot root;
  root.LoadArticleTypes(CDARU::Instance());
  CArticle a = ArticleIn(root);
  const fs::path copy = root.daru() / "rss" / ToUtf8(a.filename) / "mime.zevm";
  a.CreateMime(FromUtf8((dir.path() / "shadowlink").string()));
  EXPECT_FALSE(fs::exists(copy));
  a.CreateMime(FromUtf8((outside.path() / "secret").string()));
  ASSERT_TRUE(fs::exists(copy));
  EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  delete CDARU::Instance();
}

// Media copies have a size limit, and a copy that does not come out as large
// as the source said it was is not kept.
TEST(FoundByReview, MediaCopiesAreLimitedAndComplete) {
  TempDir dir;
  ProvisionedRoot root;
  root.LoadArticleTypes(CDARU::Instance());
  CArticle a = ArticleIn(root);
  const fs::path copy = root.daru() / "rss" / ToUtf8(a.filename) / "mime.zevm";
  const fs::path sparse = dir.path() / "huge.mp4";
  std::ofstream(sparse).close();
  fs::resize_file(sparse, static_cast<std::uintmax_t>(kMaxMediaFileSize) + 1);
  a.CreateMime(FromUtf8(sparse.string()));
  EXPECT_FALSE(fs::exists(copy));
  // The kernel's files say they are empty and then give more.
  a.CreateMime(u"/proc/self/status");
  EXPECT_FALSE(fs::exists(copy));
  EXPECT_FALSE(fs::exists(copy.string() + ".part"));
  delete CDARU::Instance();
}

// A catalogue file without write permission is not written, even by root.
TEST(FoundByReview, AReadOnlyCatalogueIsNotWrittenEvenByRoot) {
  ProvisionedRoot root;
  fs::permissions(root.catalogue(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = ReadAll(root.catalogue());
  std::unique_ptr<CDB> store(CreateStore(1));
  ASSERT_TRUE(store->InitDB()) << ToUtf8(store->GetLastDBError());
  CLabel label;
  label.name = u"new";
  EXPECT_FALSE(store->AddLabel(label));
  EXPECT_NE(ToUtf8(store->GetLastDBError()).find("readonly"), std::string::npos) << ToUtf8(store->GetLastDBError());
  std::vector<CLabel*> labels;
  EXPECT_TRUE(store->QueryLabel(labels, CLabel(), 0));  // reading still works
  EXPECT_EQ(labels.size(), 3u);
  for (CLabel* l : labels) delete l;
  store.reset();
  EXPECT_EQ(ReadAll(root.catalogue()), before);
}

// Two writers of one description file each write a copy of their own: both
// succeed, the last complete write wins, and the file is always one whole
// document. A hard link placed where a copy used to be written is never
// written through.
TEST(FoundByReview, WritersOfOneFileNeverShareACopy) {
  TempDir dir;
  const std::string file = (dir.path() / "a.xml").string();
  const std::string victim = (dir.path() / "victim").string();
  std::ofstream(victim) << "the victim";
  fs::create_hard_link(victim, file + ".part");
  const std::string one = "<a>" + std::string(200000, '1') + "</a>";
  const std::string two = "<a>" + std::string(300000, '2') + "</a>";
  std::atomic<int> failures{0};
  auto writer = [&](const std::string& content) {
    for (int i = 0; i < 200; ++i)
      if (!ReplaceFile(file, content)) ++failures;
  };
  std::thread a(writer, one), b(writer, two);
  for (int i = 0; i < 200; ++i) {
    const std::string now = ReadAll(file);
    if (!now.empty()) {
      ASSERT_TRUE(now == one || now == two) << "a torn file of " << now.size() << " bytes";
    }
  }
  a.join();
  b.join();
  EXPECT_EQ(failures, 0);
  const std::string last = ReadAll(file);
  EXPECT_TRUE(last == one || last == two);
  EXPECT_EQ(ReadAll(victim), "the victim");
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "a.xml" || name == "victim" || name == "a.xml.part") << name << " left behind";
  }
  EXPECT_EQ(PartCopyTarget(u"a.xml.0123abcd.part"), u"a.xml");
  EXPECT_EQ(PartCopyTarget(u"a.xml.part"), u"a.xml");
  EXPECT_EQ(PartCopyTarget(u"a.xml"), u"");
  EXPECT_EQ(PartCopyTarget(u".part"), u"");
}
