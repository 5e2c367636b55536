// The marks the relay puts on each message the mail program sends: a new Message-id line that
// carries the installation and the subject's signature, the signature and installation fields
// at the end of the header block, and the recipients the program may make trusted contacts.
// Pure: the caller supplies the random number and the time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelrion::transport {

struct StampValues {
  std::string installation_id;
  std::string host_name;
  std::uint32_t random = 0;   // a Random32 value
  std::uint32_t seconds = 0;  // the current time
};

struct RecipientToTrust {
  std::string name;     // display name, possibly empty
  std::string address;  // lower-cased, never empty
};

struct StampedHeader {
  std::string block;  // the header block to send, folded lines folded again
  // The To recipients from last to first, then the Cc recipients from last to first.
  std::vector<RecipientToTrust> recipients;
};

// block: the header lines as received, up to and including the empty line "\r\n". Folded
// lines are kept folded (a fold comes back as CR LF and one space; tabs become spaces). The
// new "Message-id:" line comes first and any former one is gone; "X-KVX-Signature:" and
// "X-KVX-UUID:" come just before the empty line.
StampedHeader StampHeaderBlock(std::string block, const StampValues& values);

}  // namespace pelrion::transport
