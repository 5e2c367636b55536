#include "import/text_file_import.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "import/address_book_card.h"
#include "import/vcard.h"
#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct LineBuffer {
  ~LineBuffer() { std::free(data); }
  char* data = nullptr;
  std::size_t capacity = 0;
};

// The next line with its LF, or nullopt at the end of the file; *failed tells a read error
// (a folder given as the file fails here, at its first read).
std::optional<std::string> NextLine(std::FILE* file, LineBuffer& buffer, bool* failed) {
  const ssize_t length = ::getline(&buffer.data, &buffer.capacity, file);
  if (length < 0) {
    *failed = std::ferror(file) != 0;
    return std::nullopt;
  }
  return std::string(buffer.data, static_cast<std::size_t>(length));
}

// The stored address of a line: cut at a zero byte (stored texts end there), trailing white
// space removed, lower case. Empty when nothing is left.
std::string AddressOfLine(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  while (!line.empty() && mailformat::ascii::IsSpace(line.back())) line.remove_suffix(1);
  return mailformat::ascii::ToLowerCopy(line);
}

}  // namespace

int ImportFromTextFile(const std::string& path, int list_index, store::AddressCalls& calls) {
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) return -1;
  LineBuffer buffer;
  bool failed = false;
  int added = 0;
  while (const std::optional<std::string> line = NextLine(file.get(), buffer, &failed)) {
    const std::string address = AddressOfLine(*line);
    if (address.empty()) continue;
    if (calls.AddContactIfNew("", {address}, list_index)) ++added;
  }
  return failed ? -1 : added;
}

int ImportFromVCardFile(const std::string& path, int list_index, store::AddressCalls& calls) {
  const File file(std::fopen(path.c_str(), "rb"));
  if (!file) return -1;
  std::string text;
  char chunk[65536];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, got);
  if (std::ferror(file.get()) != 0) return -1;
  const std::vector<AddressBookCard> cards = ParseVCards(text);
  return AddCardsToList(cards, list_index, calls);
}

}  // namespace pelrion::import
