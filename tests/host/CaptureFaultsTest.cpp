// The capture as daru's save, feed and import use it, tried the way a hostile
// user or an unlucky moment would: two processes at once, links on the way
// to a media file, a killed import, a full disk.

#include <openssl/evp.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "HostFixture.h"
#include "fixtures/CaptureRace.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string Md5(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < size; ++i) out += {kHex[digest[i] >> 4], kHex[digest[i] & 15]};
  return out;
}

class CaptureFaults : public DaruRootTest {
 protected:
  fs::path Write(const std::string& name, const std::string& text) {
    fs::path p = files.path() / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  static std::string Rss(const std::string& items, const std::string& title = "Race Channel") {
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
           "</title><link>https://feed.example/</link>" + items + "</channel></rss>";
  }
  static std::string Item(int n, const std::string& more = "") {
    const std::string i = std::to_string(n);
    return "<item><title>item " + i + "</title><link>https://feed.example/" + i + "</link><description>about " + i +
           "</description>" + more + "</item>";
  }
  fs::path FeedFile(int n) {
    return root.path() / "DARU" / "rss" / (Md5("https://feed.example/" + std::to_string(n)) + ".xml");
  }
  TempDir files;
};

}  // namespace

// Two saves of one link at once: one "new", the other finds it stored, and
// neither loses the other's text.
TEST_F(CaptureFaults, TwoProcessesSavingOneLinkKeepOneArticleAndEveryText) {
  RunCaptureRace({"--root", root.path().string()}, root.path(), 200, [&] {
    std::vector<CaptureRaceRow> rows;
    sqlite3* db = nullptr;
    sqlite3_open_v2((root.path() / "DARU" / "darudb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT filename, url, title FROM article", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
      rows.push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                      reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                      reinterpret_cast<const char*>(sqlite3_column_text(st, 2))});
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
  });
  EXPECT_EQ(Scalar("SELECT count(*) FROM articletolabel"), 400);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE labels<>2"), 0);
}

// A link anywhere on the way to an enclosure, or a file outside the feed's
// folder, keeps the file out of the library; the item is stored without it.
TEST_F(CaptureFaults, ImportCopiesNoEnclosureReachedThroughALink) {
  TempDir outside;
  std::ofstream(outside.path() / "secret.txt") << "secret";
  const fs::path feed = Write("feeds/f.rss", Rss(Item(1, "<enclosure url=\"up/secret.txt\" type=\"text/plain\"/>") +
                                                 Item(2, "<enclosure url=\"out/secret.txt\" type=\"text/plain\"/>") +
                                                 Item(3, "<enclosure url=\"sub/ok.wav\" type=\"audio/wav\"/>")));
  fs::create_directory_symlink("..", files.path() / "feeds" / "up");
  fs::create_directory_symlink(outside.path(), files.path() / "feeds" / "out");
  Write("secret.txt", "secret beside the feed's folder");
  Write("feeds/sub/ok.wav", "RIFF");

  const DaruRun run = Daru({"import", feed.string(), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.Json()["new"], 3);
  EXPECT_NE(run.err.find("symbolic link"), std::string::npos) << run.err;
  for (const auto& entry : fs::recursive_directory_iterator(root.path() / "DARU"))
    if (entry.path().filename() == "mime.zevm") {
      EXPECT_EQ(ReadFile(entry.path()), "RIFF") << entry.path();
    }
  EXPECT_EQ(ReadFile(root.path() / "DARU" / "rss" / Md5("https://feed.example/3") / "mime.zevm"), "RIFF");
  // The refused file is not named in the item's feed data either.
  EXPECT_EQ(ReadFile(FeedFile(1)).find("secret"), std::string::npos);
}

// Two imports of one feed at once make its channel label once.
TEST_F(CaptureFaults, TwoImportsOfOneFeedMakeOneChannelLabel) {
  for (int run = 0; run < 6; ++run) {
    const std::string channel = "Channel " + std::to_string(run);
    const fs::path feed = Write("c" + std::to_string(run) + ".rss", Rss(Item(100 + run), channel));
    DaruProcess one({"--root", root.path().string(), "import", feed.string()});
    DaruProcess two({"--root", root.path().string(), "import", feed.string()});
    EXPECT_EQ(one.Wait().status, 0) << one.Wait().err;
    EXPECT_EQ(two.Wait().status, 0) << two.Wait().err;
    EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE toplayer=2 AND name='" + channel + "'"), 1) << channel;
  }
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 6);
  EXPECT_EQ(Scalar("SELECT count(*) FROM articletolabel"), 6);
}

// An item whose description file went (a killed capture), rebuilt without its
// texts by the check, gets them back from the next import; a page from the
// next save.
TEST_F(CaptureFaults, ACaptureAgainRestoresADescriptionFileTheCheckRebuilt) {
  const fs::path feed = Write("f.rss", Rss(Item(1) + Item(2)));
  ASSERT_EQ(Daru({"import", feed.string()}).status, 0);
  fs::remove(FeedFile(1));
  const DaruRun repair = Daru({"check", "--repair"});
  EXPECT_NE(repair.out.find("capturing its link again"), std::string::npos) << repair.out;
  const std::string minimal = ReadFile(FeedFile(1));
  ASSERT_EQ(minimal.find("about 1"), std::string::npos) << minimal;
  const std::string untouched = ReadFile(FeedFile(2));

  const json again = DaruJson({"import", feed.string()});
  EXPECT_EQ(again["already_stored"], 2);
  EXPECT_EQ(again["restored"], 1);
  const std::string restored = ReadFile(FeedFile(1));
  EXPECT_NE(restored.find("<Description>about 1</Description>"), std::string::npos) << restored;
  EXPECT_NE(restored.find("<ChannelTitle>Race Channel</ChannelTitle>"), std::string::npos) << restored;
  EXPECT_EQ(ReadFile(FeedFile(2)), untouched);
  EXPECT_EQ(Daru({"check"}).status, 0);

  // A page whose file is missing: the save that brings a comment writes it again.
  const int id = DaruJson({"save", "https://p.example/", "page", "--description", "d"})["article"]["id"];
  const fs::path page = DaruJson({"show", std::to_string(id)})["article"]["description_file"].get<std::string>();
  fs::remove(page);
  const json saved = DaruJson({"save", "https://p.example/", "other title", "--comment", "c"});
  EXPECT_EQ(saved["restored"], true);
  const std::string file = ReadFile(page);
  EXPECT_NE(file.find("<Comment>c</Comment>"), std::string::npos) << file;
  EXPECT_NE(file.find("<Title>page</Title>"), std::string::npos) << file;  // the catalogue's title
}

// An import that stops at an item that cannot be saved says what was saved
// before it, and keeps it.
TEST_F(CaptureFaults, AnImportStoppedPartWaySaysWhatItStored) {
  const fs::path feed = Write("f.rss", Rss(Item(1) + Item(2) + Item(3) + Item(4)));
  // The third item's description file cannot be written, as on a full disk.
  fs::create_directories(FeedFile(3) / "in-the-way");
  const DaruRun run = Daru({"import", feed.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("item 3 was not saved; the 2 new and 0 already stored item(s) before it were"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("nothing was saved"), std::string::npos) << run.err;
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 2);
  EXPECT_TRUE(fs::exists(FeedFile(1)));
  EXPECT_TRUE(fs::exists(FeedFile(2)));
}
