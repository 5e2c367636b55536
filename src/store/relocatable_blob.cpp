#include "store/relocatable_blob.h"

#include "store/byte_reader.h"
#include "store/byte_writer.h"

namespace pelrion::store {

bool BlobView::SizeMatches() const { return U32At(bytes_, 0) == bytes_.size(); }

std::optional<std::uint32_t> BlobView::Word(std::size_t offset) const {
  return U32At(bytes_, offset);
}

std::optional<std::string_view> BlobView::StringAt(std::uint32_t offset) const {
  if (offset >= bytes_.size()) return std::nullopt;
  std::string_view rest = bytes_.substr(offset);
  const std::size_t end = rest.find('\0');
  if (end == std::string_view::npos) return std::nullopt;
  return rest.substr(0, end);
}

std::optional<std::string_view> BlobView::StringRef(std::size_t ref_offset) const {
  auto offset = Word(ref_offset);
  if (!offset) return std::nullopt;
  return StringAt(*offset);
}

std::optional<std::string_view> BlobView::WordArray(std::uint32_t offset,
                                                    std::uint32_t count) const {
  if (offset > bytes_.size()) return std::nullopt;
  if ((bytes_.size() - offset) / 4 < count) return std::nullopt;
  return bytes_.substr(offset, std::size_t{count} * 4);
}

BlobBuilder::BlobBuilder(std::size_t fixed_size) : bytes_(fixed_size < 4 ? 4 : fixed_size, '\0') {}

void BlobBuilder::SetWord(std::size_t offset, std::uint32_t value) {
  if (offset + 4 > bytes_.size()) bytes_.resize(offset + 4, '\0');
  PutU32At(bytes_, offset, value);
}

std::uint32_t BlobBuilder::AppendString(std::string_view text) {
  const auto offset = static_cast<std::uint32_t>(bytes_.size());
  bytes_.append(text);
  bytes_.push_back('\0');
  return offset;
}

std::uint32_t BlobBuilder::AppendWord(std::uint32_t value) {
  const auto offset = static_cast<std::uint32_t>(bytes_.size());
  bytes_.append(4, '\0');
  PutU32At(bytes_, offset, value);
  return offset;
}

void BlobBuilder::AppendStringRef(std::size_t ref_offset, std::string_view text) {
  SetWord(ref_offset, AppendString(text));
}

std::string BlobBuilder::Finish() && {
  bytes_.append(bytes_.size() % 8, '\0');
  PutU32At(bytes_, 0, static_cast<std::uint32_t>(bytes_.size()));
  return std::move(bytes_);
}

}  // namespace pelrion::store
