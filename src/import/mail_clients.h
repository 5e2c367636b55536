// The e-mail programs whose accounts can be imported: which of them this user has, and the
// POP3 accounts each one keeps. Programs are found where they keep their settings on this
// system, and Windows programs in the user's Wine prefix. Nothing is ever written to
// another program's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/mail_candidate.h"
#include "import/wine_prefix.h"

namespace pelrion::import {

enum class MailClientKind {
  kEudora,
  kMozilla,
  kNetscape4,  // profiles in nsreg.dat, old preference names
  kNetscape6,
  kNetscape7,
  kThunderbird,
  kOpera,
  kOutlook98,
  kOutlook,
  kOutlookExpress,
  kEvolution,
  kClawsMail,
  kSylpheed,
};
inline constexpr int kMailClientKindCount = 13;

struct MailClientKindInfo {
  std::string_view display_name;
  std::string_view program_file;  // under Wine; empty for programs that exist only here
  std::uint64_t lowest_version;
  std::uint64_t highest_version;
};

const MailClientKindInfo& KindInfo(MailClientKind kind);

// The kind with this number, or nothing.
std::optional<MailClientKind> KindOfNumber(int number);

inline constexpr std::string_view kEudoraFoundText =
    "%s located Eudora.ini at the following path:\n%s\n\nTo select another file, click Cancel.";
inline constexpr std::string_view kLocateEudoraTitle = "Locate file Eudora.ini";
inline constexpr std::string_view kLocateOperaTitle = "Locate Opera file accounts.ini";

// What a reader may ask the user when a program's settings file is not where expected.
class SettingsFileQuestions {
 public:
  virtual ~SettingsFileQuestions() = default;
  // The text of kEudoraFoundText filled in; true (OK) uses the file found.
  virtual bool UseFoundFile(const std::string& text) = 0;
  // An "open file" question; nothing when the user cancels.
  virtual std::optional<std::string> LocateFile(std::string_view title,
                                                std::string_view filter_name,
                                                std::string_view pattern) = 0;
};

// Without anyone to ask: a file found is used, and one not found stays unfound.
class NoSettingsFileQuestions : public SettingsFileQuestions {
 public:
  bool UseFoundFile(const std::string&) override { return true; }
  std::optional<std::string> LocateFile(std::string_view, std::string_view,
                                        std::string_view) override {
    return std::nullopt;
  }
};

class MailClients {
 public:
  // home: the user's home folder; wine_prefix: the Wine prefix folder to look in.
  MailClients(std::string home, std::string wine_prefix);
  // The running user's home folder and Wine prefix.
  static MailClients OfThisUser();

  // Yes when the program's settings exist here, or its program file under Wine (of an
  // accepted version).
  bool Detect(MailClientKind kind) const;
  // The kinds Detect answers yes for, in kind order.
  std::vector<MailClientKind> ListInstalled() const;
  // The candidates the kind's reader finds.
  std::vector<MailCandidate> ReadAccounts(MailClientKind kind,
                                          SettingsFileQuestions& questions) const;

 private:
  bool DetectHere(MailClientKind kind) const;
  std::optional<std::string> WineProgram(MailClientKind kind) const;
  std::vector<MailCandidate> ReadMozillaProfiles(MailClientKind kind) const;
  std::vector<MailCandidate> ReadEudora(SettingsFileQuestions& questions) const;
  std::vector<MailCandidate> ReadOpera(SettingsFileQuestions& questions) const;

  std::string home_;
  WinePrefix wine_;
};

}  // namespace pelrion::import
