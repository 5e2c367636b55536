// ListenerTable: every Listener, loaded from "db8.dat" and rewritten whole after each change.
// Records are reference counted: the table holds one reference, and every FindListener adds
// one that the caller gives back with ReleaseListener, so a worker may keep using a listener
// that has meanwhile left the table. The table's lock guards the index and every reference
// count; worker threads may call FindListener / ReleaseListener / CopyOf, everything else
// runs on the main thread.
//
// The fields of a record are never written once it is in the table (only its reference count
// changes, under the lock): a change (SetLocalEndpoint) puts a
// new record with the same id in its place, and the old one stays whole for whoever still
// holds it until its last reference goes. A worker therefore reads a held record without
// any lock, or takes a plain copy with CopyOf; it sees the fields as they were when it found
// them, never a half-written change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/id_index.h"
#include "store/listener_control.h"
#include "store/listener_record.h"
#include "store/status_notices.h"

namespace pelrion::store {

// Who uses listeners: the account table answers whether an account still refers to one.
class ListenerUsers {
 public:
  virtual ~ListenerUsers() = default;
  // True when any account refers to this listener id (as POP3 or as SMTP listener).
  virtual bool RefersToListener(std::uint32_t listener_id) const = 0;
};

// True when a TCP socket can be bound to 127.0.0.1 at this port right now (it is closed again).
bool PortBindable(std::uint32_t port);

inline constexpr std::uint32_t kFirstPop3LocalPort = 5110;
inline constexpr std::uint32_t kFirstSmtpLocalPort = 5025;
inline constexpr std::uint32_t kLocalPortStep = 1000;

class ListenerTable {
 public:
  using PortProbe = std::function<bool(std::uint32_t port)>;

  // database_folder holds "db8.dat". main_thread runs the notices' removal; control starts
  // and stops the listener threads; notices is the main window's list of network-error
  // notices; registry holds each listener's further settings, deleted with it; probe tells whether a candidate local port is free. Every port must outlive
  // the table (and any worker that still holds one of its records).
  ListenerTable(std::string database_folder, platform::MainThread& main_thread,
                ListenerControl& control, StatusNotices& notices, platform::Registry& registry,
                PortProbe probe = PortBindable);
  ~ListenerTable();
  ListenerTable(const ListenerTable&) = delete;
  ListenerTable& operator=(const ListenerTable&) = delete;

  // Loads "db8.dat" (created empty when missing): every record with a valid digest becomes a
  // listener; the version byte is ignored. Dies on a file error.
  void Load();

  // The listener with one more reference, or null.
  Listener* FindListener(std::uint32_t id);
  // Gives back one reference; at 0 the record is freed, and its status notices are removed
  // unless the id lives on in a newer record (the freed one was replaced).
  void ReleaseListener(Listener* listener);

  // The id of the listener for this server (host compared without regard to case, same port
  // and protocol), created with a free local port on 127.0.0.1 when there is none; a created
  // listener is saved and, when start is set, started.
  std::uint32_t FindOrCreateListener(std::string_view server_host, std::uint32_t server_port,
                                     ListenerProtocol protocol, bool start);

  // Stops and removes the listener when no account refers to it, then saves; true when it was
  // removed.
  bool DropListenerIfOrphaned(std::uint32_t id, const ListenerUsers& users);

  // At load, once the accounts are in: removes every listener no account refers to
  // (nothing runs yet, nothing is stopped) and saves when any went; then the next id
  // becomes the largest remaining id + 1, so ids of dropped listeners are given out again.
  // Returns how many went.
  std::size_t DropUnreferenced(const ListenerUsers& users);

  // Replaces the listener by a record with the new local endpoint (id and server kept) and
  // saves; a holder of the old record keeps reading the old endpoint. False when the id is
  // not in the table.
  bool SetLocalEndpoint(std::uint32_t id, std::uint32_t local_address, std::uint32_t local_port);

  // Rewrites "db8.dat" (version 1) from the table. Dies on a file error.
  void SaveListeners();

  bool Contains(std::uint32_t id) const;
  // A copy of the listener's fields, or nullopt: the snapshot a worker takes (in one call,
  // on any thread) of the fields it needs, consistent with itself and unaffected by later
  // changes.
  std::optional<Listener> CopyOf(std::uint32_t id) const;
  // Every id in ascending order.
  std::vector<std::uint32_t> Ids() const;
  std::size_t size() const;
  std::uint32_t next_id() const;
  std::string path() const;

 private:
  static std::uint32_t IdOf(const Listener& listener) { return listener.id; }
  // First candidate of the 1000-step sequence that no listener uses and that binds, else a
  // random port 5001..65535.
  std::uint32_t ChooseLocalPort(ListenerProtocol protocol) const;
  // Removes id from the index under the lock; the removed record, or null.
  Listener* Unlink(std::uint32_t id);
  // Drops one reference under the lock; true when the record was freed and no newer record
  // carries its id (its notices must go).
  bool DropReference(Listener* listener);
  void NotifyFreed(std::uint32_t id);
  // Deletes the listener's registry settings.
  void ForgetSettings(std::uint32_t id);

  std::string folder_;
  platform::MainThread& main_thread_;
  ListenerControl& control_;
  StatusNotices& notices_;
  platform::Registry& registry_;
  PortProbe probe_;

  mutable std::mutex mutex_;
  IdIndex<Listener> index_{&ListenerTable::IdOf, true};
  std::uint32_t next_id_ = 1;
};

// Read-only inspection of "db8.dat" bytes for the check tool: every complete unit, whether its
// digest matches, and the listener it holds.
struct ListenerUnit {
  std::size_t offset = 0;  // of the unit's digest in the file
  bool digest_ok = false;
  std::optional<Listener> listener;  // decoded fields (also when the digest fails)
  bool accepted = false;             // digest ok, decodable, and its id not seen before
};

struct ListenerFileReport {
  std::optional<std::uint8_t> version;
  std::vector<ListenerUnit> units;
  std::size_t trailing_bytes = 0;  // a partial unit at the end, ignored at load
};

ListenerFileReport InspectListenerFile(std::string_view bytes);

}  // namespace pelrion::store
