#include "store/list_blob.h"

#include "store/byte_reader.h"
#include "store/relocatable_blob.h"

namespace pelrion::store {
namespace {

// A stored text ends at its first zero byte, so an embedded zero cannot leak into the blob.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::string EncodeListBlob(const ListBlob& blob) {
  const auto count = static_cast<std::uint32_t>(blob.addresses.size());
  BlobBuilder builder(kListBlobFixedSize);
  builder.SetWord(8, count);
  builder.SetWord(12, 0);
  builder.SetWord(16, kListBlobArrayOffset);
  builder.SetWord(20, 0);
  for (std::uint32_t i = 0; i < count; ++i) builder.AppendWord(0);
  for (std::uint32_t i = 0; i < count; ++i) {
    builder.AppendStringRef(kListBlobArrayOffset + 4 * i, UpToZero(blob.addresses[i]));
  }
  builder.AppendStringRef(4, UpToZero(blob.name));
  return std::move(builder).Finish();
}

std::optional<ListBlob> ParseListBlob(std::string_view bytes) {
  const BlobView view(bytes);
  if (bytes.size() < kListBlobFixedSize || !view.SizeMatches()) return std::nullopt;
  const auto name = view.StringRef(4);
  const auto count = view.Word(8);
  const auto array_offset = view.Word(16);
  if (!name || !count || !array_offset) return std::nullopt;
  const auto array = view.WordArray(*array_offset, *count);
  if (!array) return std::nullopt;

  ListBlob blob;
  blob.name.assign(*name);
  blob.addresses.reserve(*count);
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto address = view.StringAt(*U32At(*array, 4 * std::size_t{i}));
    if (!address) return std::nullopt;
    blob.addresses.emplace_back(*address);
  }
  return blob;
}

}  // namespace pelrion::store
