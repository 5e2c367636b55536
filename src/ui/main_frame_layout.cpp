#include "ui/main_frame_layout.h"

#include <QDataStream>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>

#include "crypto/md5.h"

namespace pelrion::ui {
namespace {

constexpr int kMinFolderBarWidth = 32;
constexpr int kMaxFolderBarWidth = 600;
constexpr std::size_t kDigestSize = 16;

// A tag and version in front of the free-form state, so a value written by something else
// (or by a later layout of ours) is recognised and ignored rather than misread.
constexpr quint32 kCoolBarMagic = 0x50434253;  // "PCBS"
constexpr quint32 kCoolBarVersion = 1;

void PutLittleEndian(platform::RegistryBinary& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t GetLittleEndian(const platform::RegistryBinary& in, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | in[at + static_cast<std::size_t>(i)];
  return value;
}

}  // namespace

platform::RegistryBinary EncodeMainFrame(const MainFrameLayout& layout) {
  platform::RegistryBinary values;
  PutLittleEndian(values, static_cast<std::uint32_t>(layout.folder_bar_width));
  PutLittleEndian(values, layout.folder_bar_shown ? 1 : 0);
  PutLittleEndian(values, layout.status_bar_shown ? 1 : 0);
  const crypto::Md5Digest digest = crypto::Md5Of(values.data(), values.size());
  platform::RegistryBinary record(kMainFrameSize);
  std::copy(digest.begin(), digest.end(), record.begin());
  std::copy(values.begin(), values.end(), record.begin() + kDigestSize);
  return record;
}

MainFrameLayout DecodeMainFrame(const std::optional<platform::RegistryBinary>& bytes) {
  MainFrameLayout layout;
  if (!bytes || bytes->size() != kMainFrameSize) return layout;
  const crypto::Md5Digest digest =
      crypto::Md5Of(bytes->data() + kDigestSize, kMainFrameSize - kDigestSize);
  if (std::memcmp(digest.data(), bytes->data(), kDigestSize) != 0) return layout;
  const auto width = static_cast<std::int32_t>(GetLittleEndian(*bytes, 16));
  if (width >= kMinFolderBarWidth && width <= kMaxFolderBarWidth) layout.folder_bar_width = width;
  layout.folder_bar_shown = GetLittleEndian(*bytes, 20) != 0;
  layout.status_bar_shown = GetLittleEndian(*bytes, 24) != 0;
  return layout;
}

MainFrameLayout LoadMainFrame(const platform::Registry& registry) {
  return DecodeMainFrame(registry.GetBinary(platform::kProgramKey, kMainFrameValue));
}

void SaveMainFrame(platform::Registry& registry, const MainFrameLayout& layout) {
  registry.SetBinary(platform::kProgramKey, kMainFrameValue, EncodeMainFrame(layout));
}

QByteArray EncodeCoolBarState(const CoolBarState& state) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out.setVersion(QDataStream::Qt_6_0);
  out << kCoolBarMagic << kCoolBarVersion << state.geometry << state.window_state
      << state.header_state << quint32{state.chosen_columns} << state.folder_caption_shown;
  return bytes;
}

std::optional<CoolBarState> DecodeCoolBarState(const QByteArray& bytes) {
  QDataStream in(bytes);
  in.setVersion(QDataStream::Qt_6_0);
  quint32 magic = 0, version = 0, chosen = 0;
  CoolBarState state;
  in >> magic >> version;
  if (in.status() != QDataStream::Ok || magic != kCoolBarMagic || version != kCoolBarVersion) {
    return std::nullopt;
  }
  in >> state.geometry >> state.window_state >> state.header_state >> chosen >>
      state.folder_caption_shown;
  if (in.status() != QDataStream::Ok || !in.atEnd()) return std::nullopt;
  state.chosen_columns = chosen;
  return state;
}

std::optional<CoolBarState> LoadCoolBarState(const platform::Registry& registry) {
  const auto bytes = registry.GetBinary(platform::kProgramKey, kCoolBarStateValue);
  if (!bytes) return std::nullopt;
  return DecodeCoolBarState(QByteArray(reinterpret_cast<const char*>(bytes->data()),
                                       static_cast<qsizetype>(bytes->size())));
}

void SaveCoolBarState(platform::Registry& registry, const CoolBarState& state) {
  const QByteArray bytes = EncodeCoolBarState(state);
  registry.SetBinary(platform::kProgramKey, kCoolBarStateValue,
                     platform::RegistryBinary(bytes.begin(), bytes.end()));
}

}  // namespace pelrion::ui
