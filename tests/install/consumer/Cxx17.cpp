// Built as C++17 on purpose: the compiler must stop at the library's one
// message that C++20 is needed, not inside one of its headers.
#include <darulib/darulib_ui.h>

int main() { return 0; }
