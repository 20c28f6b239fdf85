#include "terminal/TerminalUi.h"

#include <csignal>
#include <cstdio>
#include <new>
#include <string>

#include "terminal/CursesDisplay.h"
#include "terminal/HostWindows.h"
#include "terminal/TermHost.h"
#include "terminal/TerminalUser.h"
#include "terminal/TextCells.h"

namespace {

// The signal that ended the run, for the exit status a shell expects (128 + it).
volatile std::sig_atomic_t g_quitSignal = 0;

void OnQuitSignal(int sig) {
  g_quitSignal = sig;
  termui::CursesDisplay::RequestQuit();
}

void OnFatalSignal(int sig) {
  termui::CursesDisplay::EmergencyRestore();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void InstallSignalHandlers() {
  struct sigaction quit {};
  quit.sa_handler = OnQuitSignal;
  sigemptyset(&quit.sa_mask);
  quit.sa_flags = 0;  // no SA_RESTART: the wait for a key ends at once
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &quit, nullptr);
  // Fatal signals restore the terminal first, unless a sanitizer already watches them.
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler == SIG_DFL) std::signal(sig, OnFatalSignal);
  }
}

}  // namespace

int RunTerminalUi(const std::filesystem::path& root, CDB* store, std::vector<std::string> updateCommand) {
  if (!termui::UseUtf8Locale())
    std::fprintf(stderr, "daru: warning: no UTF-8 locale; Chinese text may not show correctly\n");
  termui::HostWindows windows;
  termui::CursesDisplay display;
  termui::TerminalUser user(display);
  termui::TermHost host(display, user, windows);
  host.SetUpdateCommand(std::move(updateCommand));
  std::string error;
  // The windows come first, before the terminal is touched: the tree's creation
  // opens the catalogue, and a catalogue that cannot be opened ends the run here.
  if (!windows.Create([&host](UINT m, WPARAM w, LPARAM l) { return host.OnHostMessage(m, w, l); }, store, &error)) {
    std::fprintf(stderr, "daru: cannot open the catalogue in %s: %s\n", root.string().c_str(), error.c_str());
    return 1;
  }
  InstallSignalHandlers();
  if (!display.Start(&error)) {
    windows.Destroy();
    std::fprintf(stderr, "daru: %s\n", error.c_str());
    return 1;
  }
  int status = 0;
  try {
    CScopedUserInteraction person(&user);
    host.Attach();
    host.Run();
  } catch (const _com_error& e) {
    error = "the XML engine failed: " + ToUtf8(e.ErrorMessage());
    status = 1;
  } catch (const std::bad_alloc&) {
    error = "out of memory";
    status = 1;
  } catch (const std::exception& e) {
    error = e.what();
    status = 1;
  }
  // Leaving: the windows, then the facade, then the terminal.
  windows.Destroy();
  display.Stop();
  if (status != 0) std::fprintf(stderr, "daru: %s\n", error.c_str());
  // Ended by a signal: the windows are gone and the terminal is back, and the
  // status says so as a shell reports a signal.
  if (status == 0 && g_quitSignal != 0) status = 128 + g_quitSignal;
  return status;
}
