#pragma once
// NetConnection: one blocking IPv4 stream conversation, used by exactly one worker thread.
// Every failure is thrown as a NetError; nothing returns an error value. The socket is
// non-blocking underneath: whatever cannot go on at once waits with poll for its direction,
// within the read or write time-out, so a send never blocks past the write time-out and a stop
// (the owner's flag plus a shutdown of the socket, see WorkerJob) ends any wait at once.
//
// Every byte goes through RawReceive and RawSend, and Wait counts bytes that a lower layer
// already holds as readable: a TLS layer slots in there without touching the line reading.
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "transport/line_buffer.h"
#include "transport/net_error.h"
#include "transport/tls_stream.h"
#include "transport/worker_job.h"

namespace pelrion::transport {

enum class WaitFor { kReadable, kWritable };

class NetConnection {
 public:
  // Time-outs in seconds (the program uses 200; negative = no limit). The owner outlives the
  // connection; its stop flag is what StopCheck reads.
  NetConnection(int read_timeout_seconds, int write_timeout_seconds, WorkerJob* owner);
  NetConnection(const NetConnection&) = delete;
  NetConnection& operator=(const NetConnection&) = delete;
  // Closes an open socket without linger.
  virtual ~NetConnection();

  // Throws NetError 1 when the owner's stop flag is set.
  virtual void StopCheck();

  // Opens a socket when none is open (code 4), then in every case empties the line buffer and
  // calls StopCheck. The caller puts handle() into its WorkerJob.
  void Create(int socket_type = SOCK_STREAM);
  // Nothing when closed. With `linger`, close waits up to 15 s for unsent data. The handle is
  // taken out of the owner before it is closed.
  void Close(bool linger);
  // Stores a handle from Accept (or any connected stream socket) and empties the line buffer;
  // an open socket is closed first.
  void Adopt(int fd);
  int handle() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }

  // Addresses and ports are in host byte order throughout.
  std::uint32_t ResolveHost(std::string_view host);  // code 12
  // On failure StopCheck first, then code 5 with the platform error (a wait that runs out is
  // 5 with "Connection timed out").
  void Connect(std::uint32_t address, std::uint16_t port);
  void ConnectTo(std::string_view host, std::uint16_t port);

  // Waits within the direction's time-out, then StopCheck; code 6 when the time ran out, 7 when
  // waiting failed.
  void Wait(WaitFor direction);
  // Wait(writable) and one send: code 8 when it sends nothing, 9 when it fails.
  std::size_t SendSome(const void* bytes, std::size_t length);
  void SendAll(const void* bytes, std::size_t length);
  // StopCheck, then SendAll of the text.
  void SendText(std::string_view text);
  // One receive of at most `capacity` (> 0) bytes, waiting within the read time-out when
  // nothing has arrived yet: code 10 when the peer has closed, 11 when it fails. After a stop
  // every failure is reported as code 1.
  std::size_t ReceiveSome(void* buffer, std::size_t capacity);
  // The same; kept as its own name for the callers that wait first.
  std::size_t ReceiveWait(void* buffer, std::size_t capacity);

  // The next line, ending in CR LF, a NUL received as '^'. The view stays valid until the next
  // call on this connection. Throws kNetLineTooLong when a line passes the limit.
  std::string_view ReadLine();
  // The bytes received past the lines ReadLine handed out, as they arrived; the buffer is
  // emptied (a relay forwards them before it copies).
  std::string TakeBuffered() { return lines_.TakePending(); }
  // Gives back bytes taken with TakeBuffered or received past the caller's part of the stream:
  // ReadLine hands them out next. The buffer must be empty (everything was taken).
  void GiveBack(std::string_view bytes) { lines_.Refill(bytes); }
  // Whether a receive returns at once although the socket shows nothing (TLS holds bytes).
  bool HasBufferedInput() const { return BufferedBelow(); }

  // The longest line ReadLine accepts, CR LF included; 0 = no limit (the default).
  void set_line_limit(std::size_t limit) { line_limit_ = limit; }

  // Protects the rest of the conversation with TLS: right after Connect for implicit TLS, or
  // after the server's go-ahead to STLS/STARTTLS. Bytes already received past that go-ahead
  // were not protected and could be an attacker's: kNetTlsInjection. A failed handshake is
  // kNetTlsHandshake, an untrusted server kNetTlsCertificate (tls_fingerprint() then names
  // its certificate); a stop gives 1 and a silent server 6, as anywhere else.
  void StartTls(const TlsPeer& peer);
  bool tls_active() const { return tls_ != nullptr; }
  // The SHA-256 fingerprint of the last server certificate seen by StartTls, or empty.
  const std::string& tls_fingerprint() const { return tls_fingerprint_; }

  void Bind(std::uint32_t address, std::uint16_t port);  // code 13
  void Listen();                                         // code 14
  // Waits without limit for a connection and returns its handle, non-blocking (code 15).
  int Accept();

 private:
  // The one place bytes come from and go to. They return what recv/send return (errno set).
  long RawReceive(void* buffer, std::size_t capacity);
  long RawSend(const void* bytes, std::size_t length);
  // Bytes a lower layer holds that the socket no longer shows.
  bool BufferedBelow() const { return tls_ && tls_->HasBufferedData(); }
  // Drops the TLS state (a new socket starts in plain text).
  void EndTls() { tls_.reset(); }

  // Throws `operation` with the platform error of `host_errno`.
  [[noreturn]] static void Fail(std::uint16_t operation, int host_errno);

  int read_timeout_;
  int write_timeout_;
  int fd_ = -1;
  LineBuffer lines_;
  WorkerJob* owner_;
  std::size_t line_limit_ = 0;
  std::unique_ptr<TlsStream> tls_;
  std::string tls_fingerprint_;
};

}  // namespace pelrion::transport
