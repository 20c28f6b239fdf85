// Any bytes as an XML file, then any sequence of cursor moves and additions:
// nothing crashes, the engine's errors arrive as _com_error, and whatever
// document results is saved and read back unchanged.
//
// Input: the first byte gives the number of cursor steps (up to 63), the
// bytes after it are the steps, and the rest is the file.

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzRoot.h"
#include "content/XmlDocument.h"
#include "platform/ComError.h"

namespace {

using fuzzroot::Fail;

const char16_t* const kNames[] = {nullptr, u"",       u"Article", u"title",     u"RSS",   u"newstitle",
                                  u"mime", u"url",    u"a:b",     u"x y",       u"<bad>", u"DESCRIPTION",
                                  u"链接", u"_x.y-z", u"1abc",    u"attachment"};
const std::u16string kTexts[] = {u"",
                                 u"text",
                                 u"<&>\"'",
                                 u"]]>",
                                 u"中文 ",
                                 u"a\r\nb\rc",
                                 std::u16string(1, u'\0'),
                                 u"\x01\x1F",
                                 std::u16string(1, static_cast<char16_t>(0xDC00)),
                                 u"\U0001F600"};

// Every element below the root, by name and text, as the cursor sees it.
void Walk(CXmlDocument& xml, std::u16string& out, int depth) {
  while (xml.FindChild()) {
    out += xml.GetChildName() + u"=" + xml.GetChildText() + u"{";
    if (depth < 64 && xml.StepIn()) {
      Walk(xml, out, depth + 1);
      if (!xml.StepOut()) Fail("cannot step back out");
    }
    out += u"}";
  }
}

// Loads the file and describes it; false when it does not load.
bool Describe(const std::filesystem::path& file, std::u16string& out) {
  CXmlDocument xml;
  if (!xml.LoadFile(FromUtf8(file.string()))) return false;
  out.clear();
  if (xml.FindSibling()) Walk(xml, out, 0);
  return true;
}

void Step(CXmlDocument& xml, uint8_t op) {
  const char16_t* name = kNames[(op >> 3) % std::size(kNames)];
  const std::u16string& text = kTexts[(op >> 3) % std::size(kTexts)];
  switch (op & 7) {
    case 0:
      xml.FindSibling(name);
      break;
    case 1:
      xml.FindChild(name);
      break;
    case 2:
      xml.StepIn();
      break;
    case 3:
      xml.StepOut();
      break;
    case 4:
      xml.GetChildText();
      xml.GetChildName();
      break;
    case 5:
      if (xml.AddChild(name, text) && xml.GetChildName() != name) Fail("added child has another name");
      break;
    default:
      xml.AddElement(name, text, op & 0x40, op & 0x80);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzroot::Root& root = fuzzroot::Shared();
  size_t steps = size ? std::min<size_t>(data[0] & 63, size - 1) : 0;
  const uint8_t* ops = data + (size ? 1 : 0);
  const uint8_t* file = ops + steps;
  size_t fileSize = size - (file - data);
  std::filesystem::path in = root.path() / "in.xml", saved = root.path() / "saved.xml",
                        again = root.path() / "again.xml";
  fuzzroot::WriteBytes(in, file, fileSize);

  {
    // The text form takes the bytes as UTF-8 whatever they declare.
    CXmlDocument text;
    text.LoadText(FromUtf8(std::string(reinterpret_cast<const char*>(file), fileSize)));
  }

  CXmlDocument xml;
  bool loaded = xml.LoadFile(FromUtf8(in.string()));
  std::u16string before;
  if (loaded != Describe(in, before)) Fail("the same file loads once and not again");
  for (size_t i = 0; i < steps; ++i) {
    try {
      Step(xml, ops[i]);
    } catch (const _com_error& e) {
      // Refusals of the engine: a bad name, a second root element.
      if (e.Error() != E_INVALIDARG && e.Error() != E_FAIL) Fail("unexpected engine error");
    }
  }

  // What is saved reads back, and saving what was read gives the same.
  if (!xml.SaveFile(FromUtf8(saved.string()))) Fail("save failed");
  std::u16string first, second;
  if (!Describe(saved, first)) {
    // Only a document without any element may not read back: it is no XML file.
    std::ifstream in(saved, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t end = bytes.find("?>");
    if (bytes.rfind("<?xml", 0) != 0 || end == std::string::npos ||
        bytes.find_first_not_of(" \r\n\t", end + 2) != std::string::npos)
      Fail("saved document does not load", FromUtf8(bytes));
    return 0;
  }
  {
    CXmlDocument reread;
    reread.LoadFile(FromUtf8(saved.string()));
    if (!reread.SaveFile(FromUtf8(again.string()))) Fail("second save failed");
  }
  if (!Describe(again, second) || first != second) Fail("document changed on its way through a file", first);
  return 0;
}
