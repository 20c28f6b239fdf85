#include "daru/ExitStatus.h"

#include <iostream>
#include <new>

#include "daru/Request.h"
#include "daru/TerminalText.h"
#include "darulib.h"

int FailWith(const char* program, const std::string& message, int status) {
  std::cerr << program << ": " << TerminalSafe(message) << '\n';
  return status;
}

int RunReportingFailures(const char* program, const std::function<int()>& body) {
  try {
    return body();
  } catch (const UsageError& e) {
    return FailWith(program, e.what(), 2);
  } catch (const HostError& e) {
    return FailWith(program, e.what(), 1);
  } catch (const _com_error& e) {
    return FailWith(program, "the XML engine failed: " + ToUtf8(e.ErrorMessage()), 1);
  } catch (const std::bad_alloc&) {
    return FailWith(program, "out of memory", 1);
  } catch (const std::exception& e) {
    return FailWith(program, e.what(), 1);
  }
}
