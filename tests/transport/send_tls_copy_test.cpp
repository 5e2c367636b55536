// The send thread's TLS settings come from the registry file as the program keeps it: per
// SMTP listener its mode and pinned fingerprint, and one extra CA file for every group.
#include "transport/send_tls_copy.h"

#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/temp_dir.h"

namespace pelrion::transport {
namespace {

validation::SendGroupWork GroupOf(std::uint32_t listener_id) {
  validation::SendGroupWork group;
  group.smtp_listener_id = listener_id;
  return group;
}

// A registry file written by hand, as it lies on disk, so the test does not lean on the
// program's own writer.
std::string RegistryFile(const std::string& program_values, const std::string& listeners) {
  return "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Pelrion]\n" + program_values + "\n" + listeners;
}

TEST(SendTlsCopyTest, EveryGroupGetsItsOwnListenersPolicyAndTheSharedCaFile) {
  const struct {
    const char* name;
    std::string file;
    std::uint32_t listener_id;
    std::uint32_t mode;
    std::string fingerprint;
    std::string ca_file;
  } kRows[] = {
      {"RequiredWithPin",
       RegistryFile("\"TlsCaFile\"=\"/etc/extra ca.pem\"\n",
                    "[HKEY_CURRENT_USER\\Software\\Pelrion\\Listeners\\7]\n"
                    "\"TlsMode\"=hex:01,00,00,00\n\"TlsFingerprint\"=\"AB:CD:EF\"\n"),
       7, 1, "AB:CD:EF", "/etc/extra ca.pem"},
      {"NeverAsDword",
       RegistryFile("", "[HKEY_CURRENT_USER\\Software\\Pelrion\\Listeners\\7]\n"
                        "\"TlsMode\"=dword:00000003\n"),
       7, 3, "", ""},
      {"ImplicitUnderAnotherCase",
       RegistryFile("", "[HKEY_CURRENT_USER\\SOFTWARE\\pelrion\\LISTENERS\\7]\n"
                        "\"TlsMode\"=hex:02,00,00,00\n"),
       7, 2, "", ""},
      {"UnknownModeIsAutomatic",
       RegistryFile("", "[HKEY_CURRENT_USER\\Software\\Pelrion\\Listeners\\7]\n"
                        "\"TlsMode\"=hex:09,00,00,00\n\"TlsFingerprint\"=\"01:02\"\n"),
       7, 0, "01:02", ""},
      {"AnotherListenersSettingsDoNotApply",
       RegistryFile("\"TlsCaFile\"=\"/ca.pem\"\n",
                    "[HKEY_CURRENT_USER\\Software\\Pelrion\\Listeners\\17]\n"
                    "\"TlsMode\"=hex:01,00,00,00\n\"TlsFingerprint\"=\"AB\"\n"),
       7, 0, "", "/ca.pem"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    test_support::TempDir dir;
    const std::string path = dir / "registry.reg";
    test_support::WriteFile(path, row.file);
    const platform::FileRegistry registry(path);
    ASSERT_FALSE(registry.LoadError());

    validation::SendWork work;
    work.groups.push_back(GroupOf(row.listener_id));
    // Values the copy must overwrite, not merge with.
    work.groups[0].tls_mode = 2;
    work.groups[0].tls_fingerprint = "stale";
    work.groups[0].tls_ca_file = "stale";
    CopySendTls(work, registry);
    EXPECT_EQ(work.groups[0].tls_mode, row.mode);
    EXPECT_EQ(work.groups[0].tls_fingerprint, row.fingerprint);
    EXPECT_EQ(work.groups[0].tls_ca_file, row.ca_file);
  }
}

TEST(SendTlsCopyTest, GroupsOfDifferentListenersKeepTheirOwnSettings) {
  test_support::TempDir dir;
  const std::string path = dir / "registry.reg";
  test_support::WriteFile(
      path, RegistryFile("\"TlsCaFile\"=\"/ca.pem\"\n",
                         "[HKEY_CURRENT_USER\\Software\\Pelrion\\Listeners\\4]\n"
                         "\"TlsMode\"=hex:03,00,00,00\n\n"
                         "[HKEY_CURRENT_USER\\Software\\Pelrion\\Listeners\\6]\n"
                         "\"TlsMode\"=hex:01,00,00,00\n\"TlsFingerprint\"=\"66:66\"\n"));
  const platform::FileRegistry registry(path);
  validation::SendWork work;
  for (std::uint32_t id : {6u, 4u, 5u}) work.groups.push_back(GroupOf(id));
  CopySendTls(work, registry);
  const struct {
    std::uint32_t mode;
    std::string fingerprint;
  } kExpected[] = {{1, "66:66"}, {3, ""}, {0, ""}};
  for (std::size_t i = 0; i < work.groups.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(work.groups[i].tls_mode, kExpected[i].mode);
    EXPECT_EQ(work.groups[i].tls_fingerprint, kExpected[i].fingerprint);
    EXPECT_EQ(work.groups[i].tls_ca_file, "/ca.pem");
  }
}

}  // namespace
}  // namespace pelrion::transport
