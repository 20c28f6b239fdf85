// Temporary until the SQLite store lands: no store type is available yet.
#include "storage/DB.h"

CDB* CreateStore(int) { return nullptr; }
