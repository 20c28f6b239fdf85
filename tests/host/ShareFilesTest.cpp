// What comes with the installed program beside it: the bash completion and
// the man page, checked against the program's own commands.

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "HostFixture.h"

namespace fs = std::filesystem;

namespace {

fs::path Share() { return SamplesDir().parent_path() / "share"; }

// What a shell command printed.
std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// The command names daru's help lists.
std::vector<std::string> Commands() {
  const std::string help = RunDaru({"--help"}).out;
  std::vector<std::string> names;
  size_t at = help.find("Subcommands:");
  EXPECT_NE(at, std::string::npos) << help;
  for (at = help.find('\n', at); at != std::string::npos && at + 1 < help.size(); at = help.find('\n', at + 1)) {
    size_t start = help.find_first_not_of(' ', at + 1);
    if (start == std::string::npos || start == at + 1) break;
    names.push_back(help.substr(start, help.find(' ', start) - start));
  }
  return names;
}

class ShareFiles : public DaruRootTest {
 protected:
  // The words bash completion offers for the line, in plain bash without the
  // bash-completion package, with daru on the PATH.
  std::string Complete(const std::string& words) {
    const fs::path script = files.path() / "complete.sh";
    std::ofstream(script) << "source '" << (Share() / "completion.bash").string() << "'\n"
                          << "COMP_WORDS=(" << words << ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                          << "_daru\nprintf '[%s]' \"${COMPREPLY[@]}\"\n";
    return Output("env -i LANG=C.UTF-8 PATH='" + fs::path(DaruBinary()).parent_path().string() +
                  ":/usr/bin:/bin' DARU_HOME='" + root.path().string() + "' bash --norc --noprofile '" +
                  script.string() + "' 2>&1");
  }
  TempDir files;
};

TEST_F(ShareFiles, BashCompletionNeedsOnlyBash) {
  ASSERT_EQ(Daru({"label", "add", "带 空格"}).status, 0);
  const std::string commands = Complete("daru ''");
  for (const std::string& name : Commands()) EXPECT_NE(commands.find("[" + name + "]"), std::string::npos) << name;
  EXPECT_EQ(Complete("daru --store ''"), "[sqlite][access][odbc:]");
  for (const std::string line : {"daru list ''", "daru export ''", "daru save u t --label ''", "daru label rm ''"})
    EXPECT_NE(Complete(line).find("[带\\ 空格]"), std::string::npos) << line << Complete(line);
  EXPECT_EQ(Complete("daru label rm 带"), "[带\\ 空格]");
  const std::string rm = Complete("daru label rm x -");
  EXPECT_EQ(rm.find("--parent"), std::string::npos) << rm;
  EXPECT_NE(rm.find("[--yes]"), std::string::npos) << rm;
  EXPECT_NE(Complete("daru label add x -").find("[--parent]"), std::string::npos);
}

TEST_F(ShareFiles, ManPageIsCleanAndComplete) {
  const fs::path page = Share() / "daru.1";
  EXPECT_EQ(Output("LC_ALL=C.UTF-8 groff -man -ww -z '" + page.string() + "' 2>&1"), "");
  const std::string text = ReadFile(page);
  for (const char* section : {".SH SYNOPSIS", ".SH ENVIRONMENT", ".SH FILES", ".SH EXIT STATUS", ".SH SEE ALSO",
                              ".SH KEYS OF DARU UI", "DARU_HOME", "DARU_STORE", "XDG_DATA_HOME", "\\-\\-store"})
    EXPECT_NE(text.find(section), std::string::npos) << section;
  for (const std::string& name : Commands())
    EXPECT_TRUE(text.find("\\fB" + name + "\\fR") != std::string::npos ||
                text.find("\\fB" + name + " ") != std::string::npos ||
                text.find(".B " + name + "\n") != std::string::npos)
        << name << " is not in the man page";
}

}  // namespace
