#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "fixtures/DaruLauncher.h"
#include "fixtures/TempDir.h"

// A fresh data root and the daru program run against it; nothing is made
// in the root until a test runs init.
class DaruRoot : public ::testing::Test {
 protected:
  DaruRun Daru(std::vector<std::string> args, const std::map<std::string, std::string>& env = {}) {
    args.insert(args.begin(), {"--root", root.path().string()});
    DaruRun run = RunDaru(args, env);
    EXPECT_LE(run.status, 2) << "daru ended abnormally: " << run.err;
    return run;
  }
  nlohmann::json DaruJson(std::vector<std::string> args, int status = 0) {
    args.push_back("--json");
    DaruRun run = Daru(args);
    EXPECT_EQ(run.status, status) << run.err;
    return run.Json();
  }
  // One number from the catalogue, read past the program.
  long long Scalar(const std::string& sql) {
    sqlite3* db = nullptr;
    long long value = -1;
    if (sqlite3_open_v2((root.path() / "DARU" / "darudb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
      else
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
  }
  long long Articles() { return Scalar("SELECT count(*) FROM article"); }
  long long Labels() { return Scalar("SELECT count(*) FROM label"); }

  TempDir root;
};

// The same with the data root initialised.
class DaruRootTest : public DaruRoot {
 protected:
  void SetUp() override { ASSERT_EQ(Daru({"init"}).status, 0); }
};
