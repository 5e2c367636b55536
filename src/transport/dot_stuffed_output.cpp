#include "transport/dot_stuffed_output.h"

namespace pelrion::transport {

void DotStuffedOutput::PutRaw(std::string_view bytes) {
  pending_.append(bytes);
  FlushWhenFull();
}

void DotStuffedOutput::PutStuffed(std::string_view bytes) {
  while (!bytes.empty()) {
    if (at_line_start_ && bytes.front() == '.') pending_.push_back('.');
    const std::size_t end = bytes.find('\n');
    const std::size_t take = end == std::string_view::npos ? bytes.size() : end + 1;
    pending_.append(bytes.substr(0, take));
    at_line_start_ = end != std::string_view::npos;
    bytes.remove_prefix(take);
  }
  FlushWhenFull();
}

void DotStuffedOutput::Finish() {
  if (!at_line_start_) pending_.append("\r\n");
  pending_.append(".\r\n");
  connection_.SendAll(pending_.data(), pending_.size());
  pending_.clear();
  at_line_start_ = true;
}

void DotStuffedOutput::FlushWhenFull() {
  if (pending_.size() < kSendSize) return;
  connection_.SendAll(pending_.data(), pending_.size());
  pending_.clear();
}

}  // namespace pelrion::transport
