#pragma once
// Throw-away certificates made at run time through the OpenSSL API, written as PEM files: what
// the TLS tests trust, present and refuse, and what the real servers started by tests present.
#include <string>

#include "support/temp_dir.h"

namespace pelrion::test_support {

// PEM files in a temporary folder: a CA; server certificates it signed for "localhost" and
// 127.0.0.1 (valid, and one that expired yesterday) and for another name; a self-signed one.
// All server certificates share one key file.
struct TestPki {
  TestPki();
  std::string ca;  // certificate file
  struct Identity {
    std::string certificate;
    std::string key;
  };
  Identity valid, expired, other_name, self_signed;

 private:
  TempDir dir_;
};

}  // namespace pelrion::test_support
