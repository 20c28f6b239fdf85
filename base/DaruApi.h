#pragma once

// Everything in libdarulib.so is hidden unless marked with DARU_API; hosts see
// only the classes and functions carrying it.
#define DARU_API __attribute__((visibility("default")))
