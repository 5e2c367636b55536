// Thunderbird address books made by a test: the tables Thunderbird writes, one row per
// property of a card, and a home folder whose profiles.ini files lead to them.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/files.h"

namespace pelrion::importtest {

struct Property {
  std::string card, name, value;
};

inline void MakeAddressBook(const std::string& path, const std::vector<Property>& rows) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE properties (card TEXT, name TEXT, value TEXT);"
                         "CREATE TABLE lists (uid TEXT PRIMARY KEY, localId INTEGER, name TEXT,"
                         " nickName TEXT, description TEXT);"
                         "CREATE TABLE list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card));",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_stmt* insert = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO properties VALUES (?, ?, ?)", -1, &insert, nullptr),
            SQLITE_OK);
  for (const Property& row : rows) {
    sqlite3_bind_text(insert, 1, row.card.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, row.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, row.value.c_str(), -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
}

// WriteFile, with the folders on the way made first.
inline void WriteNew(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  test_support::WriteFile(path, bytes);
}

// A home folder whose ~/.thunderbird/profiles.ini names one relative profile holding an
// abook.sqlite with these rows.
inline void MakeThunderbirdHome(const std::string& home, const std::vector<Property>& rows) {
  WriteNew(home + "/.thunderbird/profiles.ini",
           "[Profile0]\nName=default\nIsRelative=1\nPath=x1.default\n");
  MakeAddressBook(home + "/.thunderbird/x1.default/abook.sqlite", rows);
}

}  // namespace pelrion::importtest
