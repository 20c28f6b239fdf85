// The spelling of the first release: <darulib.h> and <darulib_ui.h> with only
// <prefix>/include on the include path. Kept working for one more release.
#include <darulib.h>
#include <darulib_ui.h>

#include <iostream>

int main() {
  std::cout << DaruVersion() << "\n";
  return 0;
}
