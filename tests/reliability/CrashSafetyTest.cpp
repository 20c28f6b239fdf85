// A child process captures pages and feed items, files them under further
// labels, moves labels, comments on articles and removes them, through the
// facade as the host does, and tells the test about each operation before it
// starts and once it is done. The test kills it with SIGKILL at a random
// moment, then checks that everything reported done is there, that what was
// under way is either done or not, and that the catalogue is consistent. Then
// it repairs what the interrupted operation left (as `daru check --repair`
// does) and lets the next child go on with the same library.
//
// DARU_CRASH_ROUNDS sets the number of kills (the suite runs a few dozen).

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/TextConv.h"
#include "content/PathOps.h"
#include "content/XmlDocument.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/ProvisionedRoot.h"
#include "storage/CatalogueCheck.h"

namespace fs = std::filesystem;

namespace {

constexpr int kUserLabels[] = {4, 5, 6, 7};
constexpr int kFilingLabels[] = {3, 4, 5, 6, 7};
constexpr int kParents[] = {1, 2, 3};

enum Kind { Capture, File, Move, Unfile, Comment, Remove };
const char* const kKindNames[] = {"capture", "file", "move", "unfile", "comment", "remove"};

struct Op {
  Kind kind = Capture;
  int k = 0;       // the article: its link, title and texts follow from k
  int label = 0;   // the label filed under, taken off, or moved
  int target = 0;  // the new parent of a moved label; the serial number of a comment; 1 for a feed capture
};

std::string Link(int k) { return "http://crash.example/item/" + std::to_string(k); }
std::string Title(int k) { return "crash article " + std::to_string(k); }
// Descriptions of a few kilobytes, so that a kill can land inside a file write.
std::string Description(int k) {
  std::string text = "description of " + std::to_string(k) + ":";
  while (text.size() < static_cast<size_t>(2000 + (k % 7) * 3000)) text += " lorem ipsum " + std::to_string(k);
  return text;
}
std::string CommentText(int k, int serial) { return "comment " + std::to_string(k) + "/" + std::to_string(serial); }

struct Art {
  bool exists = false;
  bool feed = false;
  std::set<int> labels;
  std::string comment;
  std::string description;
};

// What the library must hold after every operation reported done.
struct Model {
  std::map<int, Art> arts;
  std::map<int, int> parentOf;
  int next = 1;

  void Apply(const Op& op) {
    Art& a = arts[op.k];
    switch (op.kind) {
      case Capture:
        a = Art{true, op.target == 1, {op.label}, "", Description(op.k)};
        next = std::max(next, op.k + 1);
        break;
      case File:
        a.labels.insert(op.label);
        break;
      case Move:
        parentOf[op.label] = op.target;
        break;
      case Unfile:
        a.labels.erase(op.label);
        a.exists = !a.labels.empty();
        break;
      case Comment:
        a.comment = CommentText(op.k, op.target);
        break;
      case Remove:
        a = Art{};
        break;
    }
  }

  Op Choose(std::mt19937& rng) const {
    std::vector<int> live;
    for (const auto& [k, a] : arts)
      if (a.exists) live.push_back(k);
    Op op;
    if (live.empty() || rng() % 4 == 0) {
      op.kind = Capture;
      op.k = next;
      op.label = kFilingLabels[rng() % std::size(kFilingLabels)];
      op.target = rng() % 3 == 0 ? 1 : 0;
      return op;
    }
    op.k = live[rng() % live.size()];
    const Art& a = arts.at(op.k);
    switch (rng() % 5) {
      case 0: {
        std::vector<int> free;
        for (int l : kFilingLabels)
          if (!a.labels.count(l)) free.push_back(l);
        if (free.empty()) break;
        op.kind = File;
        op.label = free[rng() % free.size()];
        return op;
      }
      case 1: {
        op.kind = Move;
        op.label = kUserLabels[rng() % std::size(kUserLabels)];
        do op.target = kParents[rng() % std::size(kParents)];
        while (op.target == parentOf.at(op.label));
        return op;
      }
      case 2: {
        op.kind = Unfile;
        auto it = a.labels.begin();
        std::advance(it, rng() % a.labels.size());
        op.label = *it;
        return op;
      }
      case 3:
        op.kind = Comment;
        op.target = static_cast<int>(rng() % 100000);
        return op;
      default:
        break;
    }
    op.kind = Remove;
    return op;
  }
};

std::string Encode(char tag, const Op& op) {
  return std::string(1, tag) + " " + std::to_string(op.kind) + " " + std::to_string(op.k) + " " +
         std::to_string(op.label) + " " + std::to_string(op.target) + "\n";
}

// --- the child ----------------------------------------------------------------

class Child {
 public:
  Child(int fd, Model model, unsigned seed, const fs::path& media)
      : m_fd(fd), m_model(std::move(model)), m_rng(seed), m_media(media) {}

  [[noreturn]] void Run() {
    m_daru = CDARU::Instance();
    if (!m_daru->Init()) Die("Init: " + ToUtf8(m_daru->GetLastDBError()));
    m_tree = m_daru->GetLabelTree();
    for (;;) {
      Op op = m_model.Choose(m_rng);
      Say(Encode('B', op));
      Do(op);
      m_model.Apply(op);
      Say(Encode('D', op));
    }
  }

 private:
  void Say(const std::string& line) {
    if (write(m_fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) _exit(7);
  }
  [[noreturn]] void Die(const std::string& why) {
    Say("E " + why + "\n");
    _exit(9);
  }

  CArticle* Find(int k) {
    CArticle pattern;
    pattern.title = FromUtf8(Title(k));
    if (m_daru->QueryArticle(pattern, 2, false) != 1) Die("cannot find " + Title(k));
    return m_daru->GetArticleList().front();
  }
  void Release(CArticle* a) {
    std::vector<CArticle*> listed = m_daru->GetArticleList();
    if (std::find(listed.begin(), listed.end(), a) == listed.end()) delete a;
  }

  void Do(const Op& op) {
    switch (op.kind) {
      case Capture: {
        int result = 1;
        std::u16string type = op.target == 1 ? u"A" : u"B";
        CArticle* a = m_daru->AddArticle(m_tree->FindLabel(op.label), FromUtf8(Link(op.k)), FromUtf8(Title(op.k)),
                                         u"kw", type, result, true);
        if (result != 0 || a == nullptr) Die("capture gave " + std::to_string(result));
        a->SetDescription(FromUtf8(Description(op.k)));
        if (!a->CreateDescriptionFile(GetTypeFolder(type), true)) Die("description file of a capture");
        if (op.target == 1) a->CreateMime(FromUtf8(m_media.string()));
        Release(a);
        break;
      }
      case File: {
        int result = 1;
        CArticle* a = m_daru->AddArticle(m_tree->FindLabel(op.label), FromUtf8(Link(op.k)), FromUtf8(Title(op.k)),
                                         u"kw", m_model.arts[op.k].feed ? u"A" : u"B", result, true);
        if (result != 1 || a == nullptr) Die("filing gave " + std::to_string(result));
        Release(a);
        break;
      }
      case Move:
        if (!m_tree->MoveLabel(m_tree->FindLabel(op.label), m_tree->FindLabel(op.target))) Die("move");
        break;
      case Unfile:
        if (!m_daru->DeleteArticle(Find(op.k), m_tree->FindLabel(op.label))) Die("unfile");
        break;
      case Comment: {
        CArticle* a = Find(op.k);
        a->LoadDescription();
        a->LoadComment();
        if (a->type == u"A") a->LoadRssSubItem();
        a->SetComment(FromUtf8(CommentText(op.k, op.target)));
        if (!a->CreateDescriptionFile(GetTypeFolder(a->type), true)) Die("comment");
        break;
      }
      case Remove: {
        CArticle* a = Find(op.k);
        std::u16string filename = a->filename, type = a->type;
        if (!m_daru->DeleteArticle(a, nullptr)) Die("remove");
        // The host removes the files of an article removed as a whole.
        DeletePath(DescriptionFilePath(type, filename), true);
        DeletePath(GetArticleFolder(filename), false);
        break;
      }
    }
  }

  int m_fd;
  Model m_model;
  std::mt19937 m_rng;
  fs::path m_media;
  CDARU* m_daru = nullptr;       // owned by the process, which is killed with it
  CLabelTree* m_tree = nullptr;  // borrowed from the facade
};

// --- the test -----------------------------------------------------------------

class CrashSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'a',3),(5,'b',3),(6,'c',1),(7,'d',2)");
    model.parentOf = {{4, 3}, {5, 3}, {6, 1}, {7, 2}};
    media = root.path() / "media.mp3";
    std::ofstream(media, std::ios::binary) << std::string(256 * 1024, 'm');
  }

  // Forks a child, kills it after `delay`, and returns what it said.
  std::vector<std::string> RunAndKill(unsigned seed, std::chrono::microseconds delay) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      Child(fds[1], model, seed, media).Run();
    }
    close(fds[1]);
    std::this_thread::sleep_for(delay);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::string said;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    std::vector<std::string> lines;
    std::istringstream in(said);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  struct Row {
    int articleid = 0;
    std::string filename, type;
    int labels = 0;
  };
  std::vector<Row> RowsOf(int k) {
    std::vector<Row> rows;
    for (const std::string& line :
         root.Rows("SELECT articleid, filename, type, labels FROM article WHERE url='" + Link(k) + "'")) {
      std::stringstream in(line);
      Row r;
      std::string field;
      std::getline(in, field, '|');
      r.articleid = std::stoi(field);
      std::getline(in, r.filename, '|');
      std::getline(in, r.type, '|');
      std::getline(in, field, '|');
      r.labels = std::stoi(field);
      rows.push_back(r);
    }
    return rows;
  }
  std::set<int> LinksOf(int articleid) {
    std::set<int> labels;
    for (const std::string& l :
         root.Rows("SELECT labelid FROM articletolabel WHERE articleid=" + std::to_string(articleid)))
      labels.insert(std::stoi(l));
    return labels;
  }
  fs::path DescriptionOf(const Row& r) { return root.daru() / (r.type == "A" ? "rss" : "web") / (r.filename + ".xml"); }
  // The description and comment as the file holds them; false when it cannot be read.
  bool Texts(const Row& r, std::string& description, std::string& comment) {
    CXmlDocument xml;
    if (!xml.LoadFile(FromUtf8(DescriptionOf(r).string()))) return false;
    description = xml.FindChild(u"Description") ? ToUtf8(xml.GetChildText()) : "?";
    comment = xml.FindChild(u"Comment") ? ToUtf8(xml.GetChildText()) : "?";
    return true;
  }

  // Everything the model holds is in the library, as it must be.
  void Verify(int k, const Art& a, const std::string& when) {
    std::vector<Row> rows = RowsOf(k);
    if (!a.exists) {
      EXPECT_TRUE(rows.empty()) << when << ": article " << k << " was removed but is there";
      return;
    }
    ASSERT_EQ(rows.size(), 1u) << when << ": article " << k << " is lost or doubled";
    const Row& r = rows[0];
    EXPECT_EQ(LinksOf(r.articleid), a.labels) << when << ": filings of article " << k;
    EXPECT_EQ(r.labels, static_cast<int>(a.labels.size())) << when << ": label count of article " << k;
    std::string description, comment;
    ASSERT_TRUE(Texts(r, description, comment)) << when << ": description file of article " << k << " unreadable";
    EXPECT_EQ(description, a.description) << when << ": description of article " << k;
    EXPECT_EQ(comment, a.comment) << when << ": comment of article " << k;
    if (a.feed) {
      std::error_code ec;
      EXPECT_EQ(fs::file_size(root.daru() / "rss" / r.filename / "mime.zevm", ec), fs::file_size(media))
          << when << ": media copy of article " << k;
    }
  }

  // Takes the outcome of an operation that was under way from the library:
  // either it happened or it did not, and nothing in between stays.
  void Settle(const Op& op, const std::string& when) {
    Art& a = model.arts[op.k];
    const Art before = a;
    if (op.kind == Capture) model.next = std::max(model.next, op.k + 1);
    if (op.kind == Move) {
      int parent = std::stoi(root.Rows("SELECT toplayer FROM label WHERE labelid=" + std::to_string(op.label))[0]);
      EXPECT_TRUE(parent == op.target || parent == model.parentOf[op.label]) << when;
      model.parentOf[op.label] = parent;
      return;
    }
    // What the interrupted operation left in the files, the repair takes away.
    CCatalogueCheck repair;
    ASSERT_TRUE(repair.Run(true)) << ToUtf8(repair.GetError());
    ++repairs;
    std::vector<Row> rows = RowsOf(op.k);
    ASSERT_LE(rows.size(), 1u) << when;
    a.exists = !rows.empty();
    a.labels = a.exists ? LinksOf(rows[0].articleid) : std::set<int>();
    if (!a.exists) {
      a = Art{};
      return;
    }
    if (op.kind == Capture) a.feed = op.target == 1;
    std::string description, comment;
    ASSERT_TRUE(Texts(rows[0], description, comment)) << when;
    // A capture whose file was not written yet gets one from its row, without texts.
    EXPECT_TRUE(op.kind == Capture ? description == Description(op.k) || description.empty()
                                   : description == before.description)
        << when << ": description of article " << op.k;
    EXPECT_TRUE(op.kind != Comment || comment == a.comment || comment == CommentText(op.k, op.target)) << when;
    a.description = description;
    a.comment = comment;
    if (a.feed && op.kind == Capture) {
      // The media copy comes last; an interrupted capture may lack it: copy it as a retry would.
      fs::create_directories(root.daru() / "rss" / rows[0].filename);
      fs::copy_file(media, root.daru() / "rss" / rows[0].filename / "mime.zevm", fs::copy_options::overwrite_existing);
    }
  }

  ProvisionedRoot root;
  Model model;
  fs::path media;
  int repairs = 0;
};

}  // namespace

TEST_F(CrashSafety, NothingReportedDoneIsLostWhenTheProcessIsKilled) {
  const char* env = std::getenv("DARU_CRASH_ROUNDS");
  const int rounds = env ? std::atoi(env) : 30;
  std::mt19937 rng(20240611);
  long done = 0;
  std::map<std::string, int> interrupted;
  for (int round = 1; round <= rounds && !HasFatalFailure(); ++round) {
    // From the child's first operation to several of them.
    auto delay = std::chrono::microseconds(2000 + rng() % 40000);
    std::vector<std::string> said = RunAndKill(rng(), delay);
    std::optional<Op> underway;
    for (const std::string& line : said) {
      ASSERT_NE(line[0], 'E') << "the child failed: " << line;
      std::istringstream in(line.substr(2));
      int kind;
      Op op;
      in >> kind >> op.k >> op.label >> op.target;
      op.kind = static_cast<Kind>(kind);
      if (line[0] == 'B') {
        underway = op;
      } else {
        model.Apply(op);
        underway.reset();
        ++done;
      }
    }
    std::string when = "round " + std::to_string(round);
    if (underway) when += " (" + std::string(kKindNames[underway->kind]) + " under way)";

    // The catalogue itself is whole after every kill; only the files of the
    // operation under way may disagree with it.
    CCatalogueCheck check;
    ASSERT_TRUE(check.Run(false)) << when << ": " << ToUtf8(check.GetError());
    for (const auto& f : check.GetFindings()) {
      // Filing links and counts in one transaction: no count is ever off.
      bool fileOfUnderway = f.fault >= CCatalogueCheck::MissingTypeFolder && underway;
      EXPECT_TRUE(fileOfUnderway) << when << ": " << ToUtf8(CCatalogueCheck::FaultName(f.fault)) << ": "
                                  << ToUtf8(f.text);
    }
    for (const auto& [k, a] : model.arts)
      if (!underway || underway->k != k || underway->kind == Move) Verify(k, a, when);
    for (const auto& [label, parent] : model.parentOf) {
      if (underway && underway->kind == Move && underway->label == label) continue;
      EXPECT_EQ(root.Rows("SELECT toplayer FROM label WHERE labelid=" + std::to_string(label)),
                std::vector<std::string>{std::to_string(parent)})
          << when << ": parent of label " << label;
    }
    if (underway) {
      ++interrupted[kKindNames[underway->kind]];
      Settle(*underway, when);
      if (underway->kind != Move) Verify(underway->k, model.arts[underway->k], when + ", settled");
    }
  }
  std::cout << "  " << rounds << " kills survived, " << done << " operations done before them, " << repairs
            << " repair runs; interrupted:";
  for (const auto& [kind, n] : interrupted) std::cout << " " << kind << " " << n;
  std::cout << "\n";
}
