// Settings of other mail programs written by a test: a home folder whose Thunderbird
// profile holds a POP3 account, an IMAP account and a POP3 account without SMTP server.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/files.h"

namespace pelrion::importtest {

// The prefs.js lines of the profile MakeThunderbirdMailHome writes.
inline constexpr const char* kThunderbirdPrefs =
    "// Mozilla User Preferences\n"
    "user_pref(\"mail.accountmanager.accounts\", \"account1,account2,account3\");\n"
    "user_pref(\"mail.account.account1.server\", \"server1\");\n"
    "user_pref(\"mail.account.account1.identities\", \"id1\");\n"
    "user_pref(\"mail.server.server1.type\", \"pop3\");\n"
    "user_pref(\"mail.server.server1.hostname\", \"pop.example.org\");\n"
    "user_pref(\"mail.server.server1.userName\", \"jo\");\n"
    "user_pref(\"mail.server.server1.name\", \"Work mail\");\n"
    "user_pref(\"mail.server.server1.port\", 995);\n"
    "user_pref(\"mail.identity.id1.useremail\", \"Jo@Example.org\");\n"
    "user_pref(\"mail.identity.id1.fullName\", \"Jo Doe\");\n"
    "user_pref(\"mail.identity.id1.smtpServer\", \"smtp1\");\n"
    "user_pref(\"mail.smtpserver.smtp1.hostname\", \"smtp.example.org\");\n"
    "user_pref(\"mail.smtpserver.smtp1.port\", 587);\n"
    "user_pref(\"mail.account.account2.server\", \"server2\");\n"
    "user_pref(\"mail.account.account2.identities\", \"id1\");\n"
    "user_pref(\"mail.server.server2.type\", \"imap\");\n"
    "user_pref(\"mail.server.server2.hostname\", \"imap.example.org\");\n"
    "user_pref(\"mail.server.server2.userName\", \"jo\");\n"
    "user_pref(\"mail.account.account3.server\", \"server3\");\n"
    "user_pref(\"mail.account.account3.identities\", \"id3\");\n"
    "user_pref(\"mail.server.server3.type\", \"pop3\");\n"
    "user_pref(\"mail.server.server3.hostname\", \"pop.other.org\");\n"
    "user_pref(\"mail.server.server3.userName\", \"jo3\");\n"
    "user_pref(\"mail.identity.id3.useremail\", \"jo@other.org\");\n";

// WriteFile, with the folders on the way made first.
inline void WriteSettingsFile(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  test_support::WriteFile(path, bytes);
}

inline void MakeThunderbirdMailHome(const std::string& home) {
  WriteSettingsFile(home + "/.thunderbird/profiles.ini",
                    "[General]\nStartWithLastProfile=1\n\n"
                    "[Profile0]\nName=default\nIsRelative=1\nPath=x1.default\n");
  WriteSettingsFile(home + "/.thunderbird/x1.default/prefs.js", kThunderbirdPrefs);
}

}  // namespace pelrion::importtest
