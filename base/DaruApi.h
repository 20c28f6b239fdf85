#pragma once

// Everything in libdarulib.so is hidden unless marked with DARU_API; hosts see
// only the classes and functions carrying it, under the version DARULIB_0
// (cmake/darulib.map). Free functions whose names another library in the same
// process could have too (SendMessage, ToUtf8, PathExists) are members of
// namespace daru, declared into the global namespace with a using-declaration
// beside them, so that callers still write them unqualified.
#define DARU_API __attribute__((visibility("default")))
