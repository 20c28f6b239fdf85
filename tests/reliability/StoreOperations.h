#pragma once

#include <functional>
#include <string>
#include <vector>

#include "storage/DB.h"

class ProvisionedRoot;

// Every store operation, once each, on the catalogue that SeedCatalogue makes:
// labels 4 '工作' and 6 'leaf' under the default label 3 and 5 'sub' under 4;
// article 1 under 3, article 2 under 3 and 6, feed article 3 under 5 with a
// media copy, each with its description file. Run on that catalogue without
// faults, every operation succeeds and checks what it read.

struct StoreOp {
  const char* name;
  // Runs the operation and returns the store's result; a query clears intact
  // when what it read differs from the seeded rows.
  std::function<bool(CDB&, bool& intact)> run;
  bool opensItself = false;  // the operation is InitDB: the store is not opened first
  // The operation may return false without a message: a row or link it
  // needs is not there.
  bool mayFailSilently = false;
};

const std::vector<StoreOp>& Operations();
void SeedCatalogue(const ProvisionedRoot& root);

// The folder name of seeded article n: n in 32 hexadecimal digits.
std::u16string Hex(int n);
