// Uses an installed darulib as an integrator would: makes a data root,
// opens the catalogue and files a page. Prints what it did; exits non-zero
// on the first thing that does not work.

#include <darulib/darulib.h>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: consumer EMPTY-FOLDER\n";
    return 2;
  }
  const std::string root = argv[1];
  DaruSetModuleFileName(FromUtf8(root + "/consumer"));
  CDARU* daru = CDARU::Instance();

  // Before the data root exists, Init fails and says which catalogue it tried.
  if (daru->Init()) {
    std::cerr << "Init succeeded without a catalogue\n";
    return 1;
  }
  const std::string why = ToUtf8(daru->GetLastDBError());
  if (why.find(root + "/DARU/darudb") == std::string::npos) {
    std::cerr << "Init's error does not name the catalogue: " << why << "\n";
    return 1;
  }

  std::u16string error;
  if (!DaruCreateDataRoot(FromUtf8(root), &error) || !daru->Init()) {
    std::cerr << "cannot make or open the data root: " << ToUtf8(error) << ToUtf8(daru->GetLastDBError()) << "\n";
    return 1;
  }
  CLabelTree* tree = daru->GetLabelTree();
  CLabel* label = tree->InsertLabel(tree->GetHeadLabel(), u"consumer");
  int result = 0;
  CArticle* article =
      label ? daru->AddArticle(label, u"https://consumer.example/", u"from a consumer", u"", u"B", result, true)
            : nullptr;
  if (!article || result != 0) {
    std::cerr << "cannot file a page: " << ToUtf8(daru->GetLastDBError()) << "\n";
    return 1;
  }
  std::cout << "darulib " << DaruVersion() << ": article " << article->articleid << " under '" << ToUtf8(label->name)
            << "'\n";
  delete article;  // not in the facade's result list: ours
  delete daru;
  return 0;
}
