#include "StoreOperations.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/TextConv.h"
#include "fixtures/ProvisionedRoot.h"

namespace fs = std::filesystem;

std::u16string Hex(int n) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%032x", n);
  return FromUtf8(buf);
}

void SeedCatalogue(const ProvisionedRoot& root) {
  // Labels 4 and 5 below the default label 3 and a leaf 6; article 1 under
  // 3, article 2 under 3 and 6, feed article 3 with a media copy under 5.
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'工作',3),(5,'sub',4),(6,'leaf',3)");
  auto add = [&](int id, const char* type, const char* folder, std::vector<int> labels) {
    root.Exec(
        "INSERT INTO article(articleid,filename,url,title,key1,type,labels,label,version,readflag,impflag,"
        "crdate,brdate,lmdate) VALUES(" +
        std::to_string(id) + ",'" + ToUtf8(Hex(id)) + "','http://x/" + std::to_string(id) + "','title " +
        std::to_string(id) + "','k','" + type + "'," + std::to_string(labels.size()) + "," + std::to_string(labels[0]) +
        ",1,'T','F',0,0,0)");
    for (int l : labels)
      root.Exec("INSERT INTO articletolabel(articleid,labelid) VALUES(" + std::to_string(id) + "," + std::to_string(l) +
                ")");
    std::ofstream(root.daru() / folder / (ToUtf8(Hex(id)) + ".xml")) << "<Article><Title>t</Title></Article>";
  };
  add(1, "B", "web", {3});
  add(2, "B", "web", {3, 6});
  add(3, "A", "rss", {5});
  fs::create_directories(root.daru() / "rss" / ToUtf8(Hex(3)));
  std::ofstream(root.daru() / "rss" / ToUtf8(Hex(3)) / "mime.zevm") << "media";
}

namespace {

template <class T>
void Release(std::vector<T*>& v) {
  for (T* p : v) delete p;
  v.clear();
}

CArticle Stored(int id, const char16_t* type, int labels) {
  CArticle a;
  a.articleid = id;
  a.filename = Hex(id);
  a.type = type;
  a.title = u"title " + FromUtf8(std::to_string(id));
  a.labels = labels;
  a.version = 1;
  return a;
}

CLabel Label(int id, int parent = 1, std::u16string name = u"x") {
  CLabel l;
  l.labelid = id;
  l.toplayer = parent;
  l.name = std::move(name);
  return l;
}

// A loaded row must be the stored row: a field that could not be read may
// not come back empty or zero as though it were stored so.
bool Intact(const CArticle* a) {
  std::u16string id = FromUtf8(std::to_string(a->articleid));
  return a->filename == Hex(a->articleid) && a->url == u"http://x/" + id && a->title == u"title " + id &&
         a->key1 == u"k" && (a->type == u"A" || a->type == u"B") && a->labels >= 1 && a->version == 1 && a->readflag &&
         !a->impflag;
}

bool Intact(const std::vector<CArticle*>& v) {
  return std::all_of(v.begin(), v.end(), [](auto* a) { return Intact(a); });
}

bool Intact(const CLabel* l) {
  static const std::map<int, std::pair<std::u16string, int>> labels = {{1, {u"我的资料库", 0}}, {2, {u"收藏的频道", 1}},
                                                                       {3, {u"未分类", 1}},     {4, {u"工作", 3}},
                                                                       {5, {u"sub", 4}},        {6, {u"leaf", 3}}};
  auto it = labels.find(l->labelid);
  return it != labels.end() && it->second == std::make_pair(l->name, l->toplayer);
}

}  // namespace

const std::vector<StoreOp>& Operations() {
  // A query also says whether it read exactly the seeded rows; the writes
  // leave `intact` as it is.
  static const std::vector<StoreOp> ops = {
      {"InitDB", [](CDB& s, bool&) { return s.InitDB(); }, true},
      {"AddLabel",
       [](CDB& s, bool&) {
         CLabel l = Label(0, 4, u"新标签 'q'");
         return s.AddLabel(l);
       }},
      {"UpdateLabel",
       [](CDB& s, bool&) {
         CLabel l = Label(5, 3, u"改名");
         return s.UpdateLabel(l);
       },
       false, true},
      {"DeleteLabel",
       [](CDB& s, bool&) {
         CLabel l = Label(6, 3);
         return s.DeleteLabel(l);
       },
       false, true},
      {"QueryLabel",
       [](CDB& s, bool& intact) {
         std::vector<CLabel*> out;
         bool ok = s.QueryLabel(out, CLabel(), 0);
         intact = out.size() == 6 && std::all_of(out.begin(), out.end(), [](CLabel* l) { return Intact(l); });
         Release(out);
         return ok;
       }},
      {"QueryArticleType",
       [](CDB& s, bool& intact) {
         std::vector<CArticleType> out;
         bool ok = s.QueryArticleType(out);
         intact = out.size() == 2 && out[0].type == u"B" && out[0].path == u"web" && out[1].type == u"A" &&
                  out[1].path == u"rss";
         return ok;
       }},
      {"QueryLabelToArticle",
       [](CDB& s, bool&) {
         CLabelToArticle link(6, 2);
         return s.QueryLabelToArticle(link);
       },
       false, true},
      {"AddLabelToArticle",
       [](CDB& s, bool&) {
         CLabelToArticle link(4, 1);
         return s.AddLabelToArticle(link);
       }},
      {"DeleteLabelToArticle",
       [](CDB& s, bool&) {
         CLabelToArticle link(6, 2);
         return s.DeleteLabelToArticle(link);
       }},
      {"AddArticle",
       [](CDB& s, bool& intact) {
         CArticle a = Stored(0, u"B", 1);
         a.filename = Hex(9);
         a.url = u"http://example.com/9?a='b'";
         a.label = 4;
         bool ok = s.AddArticle(a);
         intact = ok == (a.articleid > 3);
         return ok;
       }},
      {"QueryArticle(label)",
       [](CDB& s, bool& intact) {
         std::vector<CArticle*> out;
         CLabel l = Label(3);
         bool ok = s.QueryArticle(out, &l, CArticle(), 0);
         intact = out.size() == 2 && Intact(out);
         Release(out);
         return ok;
       }},
      {"QueryArticle(pattern)",
       [](CDB& s, bool& intact) {
         std::vector<CArticle*> out;
         CArticle pattern;
         pattern.title = u"TITLE";
         bool ok = s.QueryArticle(out, pattern, 2, true);
         intact = out.size() == 3 && Intact(out);
         Release(out);
         return ok;
       }},
      {"UpdateArticle",
       [](CDB& s, bool&) {
         CArticle a = Stored(1, u"B", 1);
         a.title = u"read 'now'";
         a.readflag = true;
         a.impflag = true;
         return s.UpdateArticle(a);
       },
       false, true},
      {"DeleteArticle(last label)",
       [](CDB& s, bool&) {
         CArticle a = Stored(3, u"A", 1);
         CLabel l = Label(5);
         return s.DeleteArticle(&a, &l);
       },
       false, true},
      {"DeleteArticle(one label)",
       [](CDB& s, bool&) {
         CArticle a = Stored(2, u"B", 2);
         CLabel l = Label(6);
         return s.DeleteArticle(&a, &l);
       },
       false, true},
      {"DeleteArticle(all labels)",
       [](CDB& s, bool&) {
         CArticle a = Stored(2, u"B", 2);
         return s.DeleteArticle(&a, nullptr);
       },
       false, true},
  };
  return ops;
}
