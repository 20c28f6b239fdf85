#include "core/Version.h"

const char* DaruVersion() { return DARU_VERSION_STRING; }
