#include "import/thunderbird_address_book.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "import/thunderbird_profiles.h"
#include "import/vcard.h"

namespace pelrion::import {
namespace {

struct DatabaseCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

// What one card's rows say, before they are made into an AddressBookCard.
struct CardProperties {
  std::string display_name, first_name, last_name, primary, second, vcard;
};

std::string ColumnText(sqlite3_stmt* statement, int column) {
  const unsigned char* text = sqlite3_column_text(statement, column);
  if (text == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

void Store(CardProperties& card, std::string_view name, std::string value) {
  if (name == "DisplayName")
    card.display_name = std::move(value);
  else if (name == "FirstName")
    card.first_name = std::move(value);
  else if (name == "LastName")
    card.last_name = std::move(value);
  else if (name == "PrimaryEmail")
    card.primary = std::move(value);
  else if (name == "SecondEmail")
    card.second = std::move(value);
  else if (name == "_vCard")
    card.vcard = std::move(value);
}

AddressBookCard CardOf(const CardProperties& properties) {
  AddressBookCard card;
  card.display_name = properties.display_name;
  for (const std::string* address : {&properties.primary, &properties.second}) {
    if (!address->empty()) card.addresses.push_back(*address);
  }
  if (!properties.vcard.empty()) {
    for (AddressBookCard& inner : ParseVCards(properties.vcard)) {
      if (card.display_name.empty()) card.display_name = inner.display_name;
      for (std::string& address : inner.addresses) {
        if (std::find(card.addresses.begin(), card.addresses.end(), address) ==
            card.addresses.end()) {
          card.addresses.push_back(std::move(address));
        }
      }
    }
  }
  if (card.display_name.empty()) {
    card.display_name = properties.first_name;
    if (!card.display_name.empty() && !properties.last_name.empty()) card.display_name += ' ';
    card.display_name += properties.last_name;
  }
  return card;
}

}  // namespace

std::optional<std::vector<AddressBookCard>> ReadThunderbirdAddressBook(const std::string& path) {
  sqlite3* raw = nullptr;
  // Read-only: the book of a running Thunderbird must never be written, locked for writing
  // or have a journal left beside it by us.
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  const std::unique_ptr<sqlite3, DatabaseCloser> db(raw);
  if (opened != SQLITE_OK) return std::nullopt;
  // A running Thunderbird may hold the book for a moment while it saves a change.
  sqlite3_busy_timeout(db.get(), 2000);
  sqlite3_stmt* raw_statement = nullptr;
  if (sqlite3_prepare_v2(db.get(), "SELECT card, name, value FROM properties ORDER BY rowid", -1,
                         &raw_statement, nullptr) != SQLITE_OK) {
    return std::nullopt;
  }
  const std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement(raw_statement);
  std::map<std::string, std::size_t> index_of_card;
  std::vector<CardProperties> found;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
    const std::string card = ColumnText(statement.get(), 0);
    const auto [at, inserted] = index_of_card.emplace(card, found.size());
    if (inserted) found.emplace_back();
    Store(found[at->second], ColumnText(statement.get(), 1), ColumnText(statement.get(), 2));
  }
  if (step != SQLITE_DONE) return std::nullopt;
  std::vector<AddressBookCard> cards;
  cards.reserve(found.size());
  for (const CardProperties& properties : found) cards.push_back(CardOf(properties));
  return cards;
}

std::vector<std::string> AddressBookFiles(const std::string& profile_folder) {
  std::vector<std::string> files;
  std::vector<std::string> more;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(profile_folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file(error)) continue;
    if (name == "abook.sqlite")
      files.push_back(entry.path().string());
    else if (name.starts_with("abook-") && name.ends_with(".sqlite"))
      more.push_back(entry.path().string());
  }
  std::sort(more.begin(), more.end());
  files.insert(files.end(), more.begin(), more.end());
  return files;
}

int ImportFromThunderbird(std::string_view home, int list_index, store::AddressCalls& calls) {
  bool any_read = false;
  int added = 0;
  for (const std::string& profile : ThunderbirdProfileFolders(home)) {
    for (const std::string& file : AddressBookFiles(profile)) {
      const std::optional<std::vector<AddressBookCard>> cards = ReadThunderbirdAddressBook(file);
      if (!cards) continue;
      any_read = true;
      added += AddCardsToList(*cards, list_index, calls);
    }
  }
  return any_read ? added : -1;
}

}  // namespace pelrion::import
