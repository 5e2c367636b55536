#include "store/listener_table.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

#include "mailformat/ascii.h"
#include "platform/main_thread.h"
#include "platform/random.h"
#include "store/database_files.h"
#include "store/listener_settings_key.h"
#include "store/record_digest.h"
#include "store/record_file.h"

namespace pelrion::store {

namespace {

constexpr std::uint32_t kHighestPort = 65535;
constexpr std::uint32_t kRandomPortBase = 5001;
constexpr std::uint32_t kRandomPortRange = 60535;  // 5001..65535

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

}  // namespace

bool PortBindable(std::uint32_t port) {
  if (port == 0 || port > kHighestPort) return false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(kLoopbackAddress);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

ListenerTable::ListenerTable(std::string database_folder, platform::MainThread& main_thread,
                             ListenerControl& control, StatusNotices& notices,
                             platform::Registry& registry, PortProbe probe)
    : folder_(std::move(database_folder)),
      main_thread_(main_thread),
      control_(control),
      notices_(notices),
      registry_(registry),
      probe_(std::move(probe)) {}

// Outstanding references must have been released by now; the table frees what it holds.
ListenerTable::~ListenerTable() {
  for (Listener* listener : index_.records()) delete listener;
}

std::string ListenerTable::path() const {
  return JoinPath(folder_, kListenersFile);
}

void ListenerTable::Load() {
  RecordRules rules;
  rules.record_size = [](std::uint8_t) { return kListenerRecordSize; };
  rules.accept = [](std::string_view record) { return DecodeListener(record).has_value(); };
  LoadedRecords loaded = LoadRecordFile(path(), rules);

  std::lock_guard lock(mutex_);
  for (Listener* listener : index_.records()) delete listener;
  index_.Clear();
  for (const std::string& record : loaded.records) {
    auto listener = new Listener(*DecodeListener(record));
    listener->ref_count = 1;
    if (!index_.Insert(listener)) delete listener;
  }
  next_id_ = loaded.next_id;
}

Listener* ListenerTable::FindListener(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  Listener* listener = index_.Find(id);
  if (listener) ++listener->ref_count;
  return listener;
}

void ListenerTable::ReleaseListener(Listener* listener) {
  if (listener == nullptr) return;
  const std::uint32_t id = listener->id;
  // Outside the lock: the call waits for the main thread, which may itself want the lock.
  if (DropReference(listener)) NotifyFreed(id);
}

bool ListenerTable::DropReference(Listener* listener) {
  std::lock_guard lock(mutex_);
  if (--listener->ref_count != 0) return false;
  const std::uint32_t id = listener->id;
  delete listener;
  return index_.Find(id) == nullptr;
}

void ListenerTable::NotifyFreed(std::uint32_t id) {
  StatusNotices& notices = notices_;
  main_thread_.Call(
      [&notices, id] { notices.RemoveStatusNotices(NoticeOrigin::kListener, id, 0); });
}

std::uint32_t ListenerTable::ChooseLocalPort(ListenerProtocol protocol) const {
  std::set<std::uint32_t> taken;
  {
    std::lock_guard lock(mutex_);
    for (const Listener* listener : index_.records()) taken.insert(listener->local_port);
  }
  const std::uint32_t first =
      protocol == ListenerProtocol::kPop3 ? kFirstPop3LocalPort : kFirstSmtpLocalPort;
  for (std::uint32_t port = first; port <= kHighestPort; port += kLocalPortStep) {
    if (taken.count(port) != 0) continue;
    if (probe_ && probe_(port)) return port;
  }
  const std::uint32_t high = static_cast<std::uint32_t>(platform::Rand()) << 16;
  const std::uint32_t low = static_cast<std::uint32_t>(platform::Rand()) & 0xFFFF;
  return (high | low) % kRandomPortRange + kRandomPortBase;
}

std::uint32_t ListenerTable::FindOrCreateListener(std::string_view server_host,
                                                  std::uint32_t server_port,
                                                  ListenerProtocol protocol, bool start) {
  TextField<kHostFieldSize> host;
  host.Set(server_host);
  {
    std::lock_guard lock(mutex_);
    for (const Listener* listener : index_.records()) {
      if (listener->protocol == protocol && listener->server_port == server_port &&
          mailformat::ascii::EqualsIgnoreCase(listener->server_host.Text(), host.Text())) {
        return listener->id;
      }
    }
  }

  auto listener = new Listener;
  listener->server_host = host;
  listener->server_port = server_port;
  listener->protocol = protocol;
  listener->local_address = kLoopbackAddress;
  listener->local_port = ChooseLocalPort(protocol);
  listener->ref_count = 1;
  std::uint32_t id;
  {
    std::lock_guard lock(mutex_);
    id = next_id_++;
    listener->id = id;
    index_.Insert(listener);
  }
  SaveListeners();
  if (start) control_.StartListener(id);
  return id;
}

Listener* ListenerTable::Unlink(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  return index_.Remove(id);
}

// A later listener may get the same id: it must not inherit this one's settings (a "never use
// TLS" for another server, or another server's pinned certificate).
void ListenerTable::ForgetSettings(std::uint32_t id) {
  registry_.DeleteKey(ListenerSettingsKey(id));
}

bool ListenerTable::DropListenerIfOrphaned(std::uint32_t id, const ListenerUsers& users) {
  if (users.RefersToListener(id) || !Contains(id)) return false;
  control_.StopListener(id);
  Listener* listener = Unlink(id);
  if (listener == nullptr) return false;
  ReleaseListener(listener);
  SaveListeners();
  ForgetSettings(id);
  return true;
}

std::size_t ListenerTable::DropUnreferenced(const ListenerUsers& users) {
  std::size_t dropped = 0;
  for (std::uint32_t id : Ids()) {
    if (users.RefersToListener(id)) continue;
    if (Listener* listener = Unlink(id)) {
      ReleaseListener(listener);
      ForgetSettings(id);
      ++dropped;
    }
  }
  if (dropped != 0) SaveListeners();
  std::lock_guard lock(mutex_);
  next_id_ = index_.empty() ? 1 : index_.records().back()->id + 1;
  return dropped;
}

bool ListenerTable::SetLocalEndpoint(std::uint32_t id, std::uint32_t local_address,
                                     std::uint32_t local_port) {
  Listener* old;
  {
    std::lock_guard lock(mutex_);
    old = index_.Remove(id);
    if (old == nullptr) return false;
    auto replacement = new Listener(*old);
    replacement->local_address = local_address;
    replacement->local_port = local_port;
    replacement->ref_count = 1;
    index_.Insert(replacement);
  }
  // The table's reference to the old record; its id lives on, so no notice goes.
  ReleaseListener(old);
  SaveListeners();
  return true;
}

void ListenerTable::SaveListeners() {
  std::vector<std::string> records;
  {
    std::lock_guard lock(mutex_);
    records.reserve(index_.size());
    for (const Listener* listener : index_.records()) records.push_back(EncodeListener(*listener));
  }
  RewriteRecordFile(path(), kListenersVersion, records, kListenerRecordSize);
}

bool ListenerTable::Contains(std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  return index_.Find(id) != nullptr;
}

std::optional<Listener> ListenerTable::CopyOf(std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  const Listener* listener = index_.Find(id);
  if (listener == nullptr) return std::nullopt;
  return *listener;
}

std::vector<std::uint32_t> ListenerTable::Ids() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint32_t> ids;
  ids.reserve(index_.size());
  for (const Listener* listener : index_.records()) ids.push_back(listener->id);
  return ids;
}

std::size_t ListenerTable::size() const {
  std::lock_guard lock(mutex_);
  return index_.size();
}

std::uint32_t ListenerTable::next_id() const {
  std::lock_guard lock(mutex_);
  return next_id_;
}

ListenerFileReport InspectListenerFile(std::string_view bytes) {
  ListenerFileReport report;
  if (bytes.empty()) return report;
  report.version = static_cast<std::uint8_t>(bytes[0]);
  constexpr std::size_t kUnit = kDigestSize + kListenerRecordSize;
  std::set<std::uint32_t> seen;
  std::size_t pos = 1;
  for (; bytes.size() - pos >= kUnit; pos += kUnit) {
    ListenerUnit unit;
    unit.offset = pos;
    const std::string_view record = bytes.substr(pos + kDigestSize, kListenerRecordSize);
    unit.digest_ok = DigestMatches(bytes.substr(pos, kDigestSize), record);
    unit.listener = DecodeListener(record);
    unit.accepted = unit.digest_ok && unit.listener && seen.insert(unit.listener->id).second;
    report.units.push_back(std::move(unit));
  }
  report.trailing_bytes = bytes.size() - pos;
  return report;
}

}  // namespace pelrion::store
