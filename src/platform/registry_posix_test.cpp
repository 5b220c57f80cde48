// The host registry lives in the prefix's database and is shared by all its users.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/host_prefix.h"
#include "platform/registry.h"

#include "support/scratch_prefix.h"

namespace zq::platform {
namespace {

using test::ScratchPrefix;

const std::string kBase = "Software\\zqsetup-test\\host";

TEST(HostRegistry, ValuesOutliveTheAccessor) {
  {
    Registry writer;
    ASSERT_TRUE(writer.OpenKey(kBase + "\\Persist", true));
    ASSERT_TRUE(writer.WriteString("v", "kept"));
  }
  Registry reader;
  ASSERT_TRUE(reader.OpenKey(kBase + "\\persist", false));
  EXPECT_EQ(reader.ReadString("V"), "kept");
  EXPECT_TRUE(reader.DeleteKey(kBase));
}

TEST(HostRegistry, DatabaseIsInThePrefixInWalMode) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kBase + "\\Wal", true));
  ASSERT_TRUE(reg.WriteString("v", "1"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((Prefix() + "/system.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))), "wal");
  sqlite3_finalize(st);
  sqlite3_close(db);
  EXPECT_TRUE(reg.DeleteKey(kBase));
}

TEST(HostRegistry, CaseFollowsTheCodePage) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kBase + "\\Caf\xC9", true));  // É
  ASSERT_TRUE(reg.WriteString("\xC4rger", "x"));        // Ä
  Registry other;
  ASSERT_TRUE(other.OpenKey(kBase + "\\caf\xE9", false));
  EXPECT_EQ(other.ReadString("\xE4RGER"), "x");
  EXPECT_TRUE(reg.DeleteKey(kBase));
}

TEST(HostRegistry, BinaryNamesAndDataSurvive) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kBase + "\\Bin", true));
  const std::string name("a\0b", 3), data("\x00\xFF\x80zz", 5);
  ASSERT_TRUE(reg.WriteString(name, data));
  EXPECT_EQ(reg.ReadString(name), data);
  EXPECT_FALSE(reg.ValueExists("a"));
  EXPECT_TRUE(reg.DeleteKey(kBase));
}

// The store keeps the system's type codes, so a string row of an older prefix (type 1) reads
// as before and a REG_DWORD is its four bytes, little-endian.
TEST(HostRegistry, StoredTypesAreTheSystemsCodes) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kBase + "\\Types", true));
  ASSERT_TRUE(reg.WriteDword("d", 0x12345678u));
  ASSERT_TRUE(reg.WriteString("s", "text"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2((Prefix() + "/system.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  const std::string key = "lpath = CAST('software\\zqsetup-test\\host\\types' AS BLOB)";
  // As an older build wrote a string: the same row, type 1.
  const std::string old_row =
      "INSERT INTO vals(root, lpath, lname, name, type, data) SELECT root, lpath, "
      "CAST('old' AS BLOB), CAST('Old' AS BLOB), 1, CAST('kept' AS BLOB) FROM vals WHERE " +
      key + " AND lname = CAST('s' AS BLOB)";
  ASSERT_EQ(sqlite3_exec(db, old_row.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  const std::string rows_of_key =
      "SELECT CAST(name AS TEXT), type, hex(data) FROM vals WHERE " + key + " ORDER BY lname";
  ASSERT_EQ(sqlite3_prepare_v2(db, rows_of_key.c_str(), -1, &st, nullptr), SQLITE_OK);
  std::vector<std::string> rows;
  while (sqlite3_step(st) == SQLITE_ROW) {
    rows.push_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + " " +
                   std::to_string(sqlite3_column_int(st, 1)) + " " +
                   reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  EXPECT_EQ(rows, (std::vector<std::string>{"d 4 78563412", "Old 1 6B657074", "s 1 74657874"}));
  EXPECT_EQ(reg.ReadString("OLD"), "kept");
  EXPECT_EQ(reg.ReadDword("d"), 0x12345678u);
  EXPECT_TRUE(reg.DeleteKey(kBase));
}

TEST(HostRegistry, ConcurrentWritersAllSucceed) {
  constexpr int kThreads = 4, kWrites = 40;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      Registry reg;  // each with its own connection, as separate processes would be
      for (int i = 0; i < kWrites; ++i) {
        if (!reg.OpenKey(kBase + "\\Busy\\T" + std::to_string(t), true) ||
            !reg.WriteString("n" + std::to_string(i), std::to_string(i)))
          ++failures[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << t;
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kBase + "\\Busy\\T3", false));
  EXPECT_EQ(reg.ValueNames().size(), static_cast<std::size_t>(kWrites));
  EXPECT_TRUE(reg.DeleteKey(kBase));
}

TEST(HostRegistry, FollowsThePrefix) {
  Registry reg;
  ASSERT_TRUE(reg.OpenKey(kBase + "\\Here", true));
  ASSERT_TRUE(reg.WriteString("v", "old"));
  {
    ScratchPrefix scratch;
    EXPECT_FALSE(reg.KeyExists(kBase + "\\Here"));
  }
  EXPECT_TRUE(reg.KeyExists(kBase + "\\Here"));
  EXPECT_TRUE(reg.DeleteKey(kBase));
}

}  // namespace
}  // namespace zq::platform
