#include "core/preferences.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/default_templates.h"
#include "platform/dialogs.h"
#include "platform/registry.h"
#include "support/files.h"

namespace pelrion::core {
namespace {

namespace fs = std::filesystem;
using platform::RegistryBinary;

const std::string kGeneral = "Software\\Pelrion\\Preferences\\General";
const std::string kSenderValidation = "Software\\Pelrion\\Preferences\\Sender Validation";

using test_support::ReadFile;
using test_support::WriteFile;

class RecordingDialogs : public platform::Dialogs {
 public:
  platform::DialogAnswer MessageBox(std::string_view text, std::string_view, platform::DialogIcon,
                                    platform::DialogButtons) override {
    texts.emplace_back(text);
    return platform::DialogAnswer::kOk;
  }
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view) override {}
  void ShowStartupStage(std::string_view) override {}

  std::vector<std::string> texts;
};

// An in-memory registry that records, for every change, which "key\name" was added, so a
// test can see the order values were first written in and whether anything was written.
class RecordingRegistry : public platform::Registry {
 public:
  std::vector<std::string> added;
  int persist_calls = 0;

 protected:
  bool Persist(const Keys& keys) override {
    ++persist_calls;
    for (const auto& [key, values] : keys) {
      for (const auto& [name, value] : values) {
        const std::string full = key + "\\" + name;
        if (seen_.insert(full).second) added.push_back(full);
      }
    }
    return true;
  }

 private:
  std::set<std::string> seen_;
};

// Numbers are little-endian 4-byte binary values.
void PutNumber(platform::Registry& registry, const std::string& key, std::string_view name,
               std::uint32_t value) {
  ASSERT_TRUE(registry.SetBinary(
      key, name,
      RegistryBinary{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                     static_cast<std::uint8_t>(value >> 16),
                     static_cast<std::uint8_t>(value >> 24)}));
}

class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pelrion-prefs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern + "/";
    platform::SetDialogs(&dialogs_);
  }
  void TearDown() override {
    platform::SetDialogs(nullptr);
    fs::remove_all(folder_);
  }

  struct UserTemplate {
    const char* key;
    const char* file;
    const char* text;
  };
  static constexpr UserTemplate kUserTemplates[] = {
      {"fn_txtR", "my-reply.txt", "reply text\r\n"},
      {"fn_txtC", "my-captcha.txt", "captcha text\r\n"},
      {"fn_htmR", "my-reply.htm", "<p>reply</p>\r\n"},
      {"fn_htmC", "my-captcha.htm", "<p>captcha [CAPTCHA_IMAGE]</p>\r\n"},
  };

  void WriteUserTemplateFiles() {
    for (const auto& t : kUserTemplates) WriteFile(folder_ + t.file, t.text);
  }

  // Stores four loadable user templates in the registry, so that no built-in one is
  // installed (installing one resets the method's charset).
  void StoreUserTemplates(platform::Registry& registry) {
    WriteUserTemplateFiles();
    for (const auto& t : kUserTemplates) {
      ASSERT_TRUE(registry.SetString(kSenderValidation, t.key, folder_ + t.file));
    }
  }

  std::string folder_;
  RecordingDialogs dialogs_;
};

// Every number key with its default and its page.
struct DefaultRow {
  const char* key;
  const std::string* page;
  std::uint32_t Preferences::*field;
  std::uint32_t want;
};

const DefaultRow kDefaults[] = {
    {"autostart", &kGeneral, &Preferences::autostart, 1},
    {"trustrcpt", &kGeneral, &Preferences::trustrcpt, 1},
    {"warnproxy", &kGeneral, &Preferences::warnproxy, 1},
    {"checkmail", &kGeneral, &Preferences::checkmail, 1},
    {"checkmail_delay", &kGeneral, &Preferences::checkmail_delay, 10},
    {"emptytrash", &kGeneral, &Preferences::emptytrash, 0},
    {"junk", &kGeneral, &Preferences::junk, 1},
    {"expire", &kSenderValidation, &Preferences::expire, 5},
    {"challenge", &kSenderValidation, &Preferences::challenge, 1},
    {"from", &kSenderValidation, &Preferences::from, 0},
    {"method", &kSenderValidation, &Preferences::method, 0},
    {"charsetR", &kSenderValidation, &Preferences::charset_reply, 20},
    {"charsetC", &kSenderValidation, &Preferences::charset_captcha, 20},
};

struct TemplateSlot {
  const char* name;
  ValidationMethod method;
  TemplateKind kind;
  const char* default_file;
};

const TemplateSlot kSlots[] = {
    {"ReplyPlain", ValidationMethod::kReply, TemplateKind::kPlainText, "reply.txt"},
    {"ReplyHtml", ValidationMethod::kReply, TemplateKind::kHtml, "reply.htm"},
    {"CaptchaPlain", ValidationMethod::kCaptcha, TemplateKind::kPlainText, "captcha.txt"},
    {"CaptchaHtml", ValidationMethod::kCaptcha, TemplateKind::kHtml, "captcha.htm"},
};

TEST_F(PreferencesTest, EmptyRegistryGivesDefaultsAndInstallsTheFourTemplates) {
  RecordingRegistry registry;
  const Preferences got = LoadPreferences(registry, folder_);

  for (const DefaultRow& row : kDefaults) {
    SCOPED_TRACE(row.key);
    EXPECT_EQ(got.*row.field, row.want);
  }
  for (const TemplateSlot& slot : kSlots) {
    SCOPED_TRACE(slot.name);
    const std::string path = folder_ + slot.default_file;
    const std::string_view builtin = DefaultTemplateText(slot.method, slot.kind);
    EXPECT_EQ(TemplateFileName(got, slot.method, slot.kind), path);
    EXPECT_EQ(ReadFile(path), builtin);
    EXPECT_EQ(TemplateText(got, slot.method, slot.kind), builtin);
  }
  EXPECT_EQ(CharsetName(got, ValidationMethod::kReply), "iso-8859-1");
  EXPECT_EQ(CharsetName(got, ValidationMethod::kCaptcha), "iso-8859-1");
  EXPECT_EQ(registry.persist_calls, 0) << "loading must not write to the registry";
  EXPECT_TRUE(dialogs_.texts.empty()) << "an unset template is no failure";
}

struct StoredNumberCase {
  const char* name;
  const std::string* page;
  const char* key;
  std::optional<RegistryBinary> binary;  // stored as this binary value when set
  std::optional<std::string> string;     // or as this string value
  std::uint32_t Preferences::*field;
  std::uint32_t want;
};

// Failure messages name the row instead of dumping its bytes.
void PrintTo(const StoredNumberCase& row, std::ostream* out) {
  *out << row.name;
}

RegistryBinary Le(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

class PreferencesStoredNumberTest : public PreferencesTest,
                                    public ::testing::WithParamInterface<StoredNumberCase> {};

TEST_P(PreferencesStoredNumberTest, LoadsInRangeValuesAndDefaultsTheRest) {
  const StoredNumberCase& row = GetParam();
  platform::MemoryRegistry registry;
  StoreUserTemplates(registry);
  if (row.binary) {
    ASSERT_TRUE(registry.SetBinary(*row.page, row.key, *row.binary));
  }
  if (row.string) {
    ASSERT_TRUE(registry.SetString(*row.page, row.key, *row.string));
  }

  const Preferences got = LoadPreferences(registry, folder_);

  EXPECT_EQ(got.*row.field, row.want);
  // Nothing else moved off its default.
  for (const DefaultRow& other : kDefaults) {
    if (other.field == row.field) continue;
    SCOPED_TRACE(other.key);
    EXPECT_EQ(got.*other.field, other.want);
  }
  EXPECT_TRUE(dialogs_.texts.empty());
}

const StoredNumberCase kStoredNumbers[] = {
    {"DelayZero", &kGeneral, "checkmail_delay", Le(0), {}, &Preferences::checkmail_delay, 10},
    {"DelayThousand",
     &kGeneral,
     "checkmail_delay",
     Le(1000),
     {},
     &Preferences::checkmail_delay,
     10},
    {"DelayNegative",
     &kGeneral,
     "checkmail_delay",
     Le(0xFFFFFFFF),
     {},
     &Preferences::checkmail_delay,
     10},
    {"DelayOneKept", &kGeneral, "checkmail_delay", Le(1), {}, &Preferences::checkmail_delay, 1},
    {"DelayMaxKept", &kGeneral, "checkmail_delay", Le(999), {}, &Preferences::checkmail_delay, 999},
    {"ExpireOver", &kSenderValidation, "expire", Le(366), {}, &Preferences::expire, 5},
    {"ExpireZero", &kSenderValidation, "expire", Le(0), {}, &Preferences::expire, 5},
    {"ExpireOneKept", &kSenderValidation, "expire", Le(1), {}, &Preferences::expire, 1},
    {"ExpireMaxKept", &kSenderValidation, "expire", Le(365), {}, &Preferences::expire, 365},
    {"CharsetReplyOver",
     &kSenderValidation,
     "charsetR",
     Le(22),
     {},
     &Preferences::charset_reply,
     20},
    {"CharsetReplyLastKept",
     &kSenderValidation,
     "charsetR",
     Le(21),
     {},
     &Preferences::charset_reply,
     21},
    {"CharsetReplyZeroKept",
     &kSenderValidation,
     "charsetR",
     Le(0),
     {},
     &Preferences::charset_reply,
     0},
    {"CharsetCaptchaOver",
     &kSenderValidation,
     "charsetC",
     Le(22),
     {},
     &Preferences::charset_captcha,
     20},
    {"CharsetCaptchaKept",
     &kSenderValidation,
     "charsetC",
     Le(17),
     {},
     &Preferences::charset_captcha,
     17},
    {"FromOver", &kSenderValidation, "from", Le(3), {}, &Preferences::from, 0},
    {"FromMaxKept", &kSenderValidation, "from", Le(2), {}, &Preferences::from, 2},
    {"MethodOver", &kSenderValidation, "method", Le(2), {}, &Preferences::method, 0},
    {"MethodCaptchaKept", &kSenderValidation, "method", Le(1), {}, &Preferences::method, 1},
    {"FlagOffKept", &kGeneral, "autostart", Le(0), {}, &Preferences::autostart, 0},
    {"FlagAnyNumberKept",
     &kGeneral,
     "emptytrash",
     Le(0x12345678),
     {},
     &Preferences::emptytrash,
     0x12345678},
    {"ChallengeOffKept", &kSenderValidation, "challenge", Le(0), {}, &Preferences::challenge, 0},
    {"JunkOffKept", &kGeneral, "junk", Le(0), {}, &Preferences::junk, 0},
    {"ShortBinaryIgnored",
     &kGeneral,
     "checkmail_delay",
     RegistryBinary{5, 0},
     {},
     &Preferences::checkmail_delay,
     10},
    {"LongBinaryIgnored",
     &kGeneral,
     "checkmail_delay",
     RegistryBinary{5, 0, 0, 0, 0},
     {},
     &Preferences::checkmail_delay,
     10},
    {"StringIgnored", &kGeneral, "checkmail_delay", std::nullopt, "5",
     &Preferences::checkmail_delay, 10},
    {"WrongPageIgnored", &kGeneral, "expire", Le(30), {}, &Preferences::expire, 5},
};

INSTANTIATE_TEST_SUITE_P(Rows, PreferencesStoredNumberTest, ::testing::ValuesIn(kStoredNumbers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PreferencesTest, FileNameThatIsNotAStringIsTreatedAsEmpty) {
  platform::MemoryRegistry registry;
  StoreUserTemplates(registry);
  ASSERT_TRUE(registry.SetBinary(kSenderValidation, "fn_htmC", RegistryBinary{'a', 'b', 0}));

  const Preferences got = LoadPreferences(registry, folder_);

  // The unset slot gets the built-in template; the others keep the user's files.
  EXPECT_EQ(got.fn_htm_captcha, folder_ + "captcha.htm");
  EXPECT_EQ(TemplateText(got, ValidationMethod::kCaptcha, TemplateKind::kHtml),
            DefaultTemplateText(ValidationMethod::kCaptcha, TemplateKind::kHtml));
  EXPECT_EQ(got.fn_txt_captcha, folder_ + "my-captcha.txt");
  EXPECT_EQ(TemplateText(got, ValidationMethod::kCaptcha, TemplateKind::kPlainText),
            "captcha text\n");
  EXPECT_EQ(TemplateText(got, ValidationMethod::kReply, TemplateKind::kHtml), "<p>reply</p>\n");
  EXPECT_TRUE(dialogs_.texts.empty());
}

TEST_F(PreferencesTest, SaveThenLoadRoundTrips) {
  WriteUserTemplateFiles();
  Preferences saved;
  saved.autostart = 0;
  saved.trustrcpt = 0;
  saved.warnproxy = 0;
  saved.checkmail = 0;
  saved.checkmail_delay = 999;
  saved.emptytrash = 1;
  saved.junk = 0;
  saved.expire = 365;
  saved.challenge = 0;
  saved.from = 2;
  saved.method = 1;
  saved.charset_reply = 17;
  saved.charset_captcha = 4;
  saved.fn_txt_reply = folder_ + "my-reply.txt";
  saved.fn_txt_captcha = folder_ + "my-captcha.txt";
  saved.fn_htm_reply = folder_ + "my-reply.htm";
  saved.fn_htm_captcha = folder_ + "my-captcha.htm";

  RecordingRegistry registry;
  ASSERT_TRUE(SavePreferences(registry, saved));

  // Numbers as 4-byte little-endian binary values, names as strings.
  for (const DefaultRow& row : kDefaults) {
    SCOPED_TRACE(row.key);
    EXPECT_EQ(registry.GetBinary(*row.page, row.key), Le(saved.*row.field));
  }
  const struct {
    const char* key;
    const std::string* value;
  } names[] = {{"fn_txtR", &saved.fn_txt_reply},
               {"fn_txtC", &saved.fn_txt_captcha},
               {"fn_htmR", &saved.fn_htm_reply},
               {"fn_htmC", &saved.fn_htm_captcha}};
  for (const auto& name : names) {
    SCOPED_TRACE(name.key);
    EXPECT_EQ(registry.GetString(kSenderValidation, name.key), *name.value);
  }

  // Written in the order of the key table.
  std::vector<std::string> want_order;
  for (const DefaultRow& row : kDefaults) want_order.push_back(*row.page + "\\" + row.key);
  for (const auto& name : names) want_order.push_back(kSenderValidation + "\\" + name.key);
  ASSERT_EQ(registry.added.size(), want_order.size());
  for (std::size_t i = 0; i < want_order.size(); ++i) {
    // Key paths are kept without regard to case: compare lower-cased.
    std::string want = want_order[i];
    std::string got = registry.added[i];
    for (auto* s : {&want, &got}) {
      for (char& c : *s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(got, want) << "value " << i;
  }

  const Preferences loaded = LoadPreferences(registry, folder_);
  for (const DefaultRow& row : kDefaults) {
    SCOPED_TRACE(row.key);
    EXPECT_EQ(loaded.*row.field, saved.*row.field);
  }
  EXPECT_EQ(loaded.fn_txt_reply, saved.fn_txt_reply);
  EXPECT_EQ(loaded.fn_txt_captcha, saved.fn_txt_captcha);
  EXPECT_EQ(loaded.fn_htm_reply, saved.fn_htm_reply);
  EXPECT_EQ(loaded.fn_htm_captcha, saved.fn_htm_captcha);
  EXPECT_EQ(CharsetName(loaded, ValidationMethod::kReply), "utf-8");
  EXPECT_EQ(CharsetName(loaded, ValidationMethod::kCaptcha), "gb2312");
  EXPECT_EQ(SelectedMethod(loaded), ValidationMethod::kCaptcha);
  EXPECT_EQ(TemplateText(loaded, ValidationMethod::kReply, TemplateKind::kPlainText),
            "reply text\n");
}

TEST_F(PreferencesTest, FailingTemplatesAreReportedInLoadOrderAndReplaced) {
  platform::MemoryRegistry registry;
  // Each chosen file fails differently; the charsets were set by the user.
  WriteFile(folder_ + "empty.htm", "");
  WriteFile(folder_ + "binary.htm", std::string("a\0b", 3));
  WriteFile(folder_ + "big.txt", std::string(65537, 'x'));
  ASSERT_TRUE(registry.SetString(kSenderValidation, "fn_htmR", folder_ + "empty.htm"));
  ASSERT_TRUE(registry.SetString(kSenderValidation, "fn_txtR", folder_ + "gone.txt"));
  ASSERT_TRUE(registry.SetString(kSenderValidation, "fn_htmC", folder_ + "binary.htm"));
  ASSERT_TRUE(registry.SetString(kSenderValidation, "fn_txtC", folder_ + "big.txt"));
  PutNumber(registry, kSenderValidation, "charsetR", 3);
  PutNumber(registry, kSenderValidation, "charsetC", 7);

  const Preferences got = LoadPreferences(registry, folder_);

  const std::vector<std::string> want_messages = {
      "Failed to load template from file " + folder_ + "empty.htm:\nFile is empty",
      "Failed to load template from file " + folder_ + "gone.txt:\nNo such file or directory",
      "Failed to load template from file " + folder_ + "binary.htm:\nNot a text file",
      "Failed to load template from file " + folder_ + "big.txt:\nFile is too large",
  };
  EXPECT_EQ(dialogs_.texts, want_messages);
  for (const TemplateSlot& slot : kSlots) {
    SCOPED_TRACE(slot.name);
    const std::string path = folder_ + slot.default_file;
    EXPECT_EQ(TemplateFileName(got, slot.method, slot.kind), path);
    EXPECT_EQ(ReadFile(path), DefaultTemplateText(slot.method, slot.kind));
    EXPECT_EQ(TemplateText(got, slot.method, slot.kind),
              DefaultTemplateText(slot.method, slot.kind));
  }
  EXPECT_EQ(got.charset_reply, 20u);
  EXPECT_EQ(got.charset_captcha, 20u);
  // The registry still names the user's files until the options are next confirmed.
  EXPECT_EQ(registry.GetString(kSenderValidation, "fn_htmR"), folder_ + "empty.htm");
  EXPECT_EQ(registry.GetNumber(kSenderValidation, "charsetR"), 3u);
}

TEST_F(PreferencesTest, OneFailingTemplateResetsOnlyItsMethodCharset) {
  platform::MemoryRegistry registry;
  StoreUserTemplates(registry);
  ASSERT_TRUE(registry.SetString(kSenderValidation, "fn_txtC", folder_ + "gone.txt"));
  PutNumber(registry, kSenderValidation, "charsetR", 3);
  PutNumber(registry, kSenderValidation, "charsetC", 7);

  const Preferences got = LoadPreferences(registry, folder_);

  EXPECT_EQ(got.charset_reply, 3u);
  EXPECT_EQ(got.charset_captcha, 20u);
  EXPECT_EQ(got.fn_txt_captcha, folder_ + "captcha.txt");
  EXPECT_EQ(got.fn_htm_captcha, folder_ + "my-captcha.htm");
  EXPECT_EQ(dialogs_.texts.size(), 1u);
}

TEST_F(PreferencesTest, UnwritableTemplatesFolderLeavesNamesEmptyAndUsesBuiltins) {
  platform::MemoryRegistry registry;
  const std::string missing_folder = folder_ + "absent/";

  const Preferences got = LoadPreferences(registry, missing_folder);

  for (const TemplateSlot& slot : kSlots) {
    SCOPED_TRACE(slot.name);
    EXPECT_EQ(TemplateFileName(got, slot.method, slot.kind), "");
    EXPECT_EQ(TemplateText(got, slot.method, slot.kind),
              DefaultTemplateText(slot.method, slot.kind));
  }
  EXPECT_FALSE(fs::exists(missing_folder));
  EXPECT_TRUE(dialogs_.texts.empty());
}

TEST_F(PreferencesTest, OverlongOrBrokenFileNamesAreTreatedAsEmpty) {
  struct Row {
    const char* name;
    std::string value;
  };
  const Row rows[] = {
      {"Overlong", "/" + std::string(kMaxTemplateFileName, 'a')},
      {"EmbeddedZero", std::string("/tmp/a\0b", 8)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    platform::MemoryRegistry registry;
    StoreUserTemplates(registry);
    ASSERT_TRUE(registry.SetString(kSenderValidation, "fn_txtR", row.value));

    const Preferences got = LoadPreferences(registry, folder_);

    EXPECT_EQ(got.fn_txt_reply, folder_ + "reply.txt");
    EXPECT_TRUE(dialogs_.texts.empty());
  }
}

TEST(PreferencesCharsetName, UsesTheMethodsOwnRow) {
  struct Row {
    const char* name;
    std::uint32_t reply;
    std::uint32_t captcha;
    std::string_view want_reply;
    std::string_view want_captcha;
  };
  const Row rows[] = {
      {"Defaults", 20, 20, "iso-8859-1", "iso-8859-1"},
      {"Distinct", 0, 21, "windows-1256", "windows-1252"},
      {"Swapped", 21, 0, "windows-1252", "windows-1256"},
      {"OutsideTableFallsBack", 22, 1000, "iso-8859-1", "iso-8859-1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Preferences preferences;
    preferences.charset_reply = row.reply;
    preferences.charset_captcha = row.captcha;
    EXPECT_EQ(CharsetName(preferences, ValidationMethod::kReply), row.want_reply);
    EXPECT_EQ(CharsetName(preferences, ValidationMethod::kCaptcha), row.want_captcha);
  }
}

}  // namespace
}  // namespace pelrion::core
