#include "store/record_digest.h"

namespace pelrion::store {

std::string RecordDigest(std::string_view stored) {
  crypto::Md5Digest digest = crypto::Md5Of(stored);
  return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

bool DigestMatches(std::string_view digest, std::string_view stored) {
  if (digest.size() != kDigestSize) return false;
  return RecordDigest(stored) == digest;
}

std::string WithDigest(std::string_view stored) {
  std::string unit = RecordDigest(stored);
  unit.append(stored);
  return unit;
}

}  // namespace pelrion::store
