#include "platform/ModuleInfo.h"

#include <unistd.h>

#include <vector>

#include "base/TextConv.h"

namespace {

std::u16string& Override() {
  static std::u16string name;
  return name;
}

std::u16string ReadSelfExe() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) return FromUtf8(std::string_view(buf.data(), static_cast<size_t>(n)));
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

void DaruSetModuleFileName(const std::u16string& path) { Override() = path; }

std::u16string DaruGetModuleFileName() {
  std::u16string name = Override().empty() ? ReadSelfExe() : Override();
  for (auto& c : name)
    if (c == u'\\') c = u'/';
  return name;
}
