#include "core/preferences.h"

#include <string_view>
#include <variant>

#include "core/templates.h"

namespace pelrion::core {
namespace {

using Page = PreferencePage;
using NumberKey = NumberPreference;
constexpr std::uint32_t kAny = kAnyPreferenceValue;

// In the order the keys are written. Defaults come from the Preferences initialisers.
constexpr NumberKey kNumberKeys[] = {
    {"autostart", Page::kGeneral, &Preferences::autostart, 0, kAny},
    {"trustrcpt", Page::kGeneral, &Preferences::trustrcpt, 0, kAny},
    {"warnproxy", Page::kGeneral, &Preferences::warnproxy, 0, kAny},
    {"checkmail", Page::kGeneral, &Preferences::checkmail, 0, kAny},
    {"checkmail_delay", Page::kGeneral, &Preferences::checkmail_delay, kCheckMailDelayMin,
     kCheckMailDelayMax},
    {"emptytrash", Page::kGeneral, &Preferences::emptytrash, 0, kAny},
    {"junk", Page::kGeneral, &Preferences::junk, 0, kAny},
    {"expire", Page::kSenderValidation, &Preferences::expire, kExpireMin, kExpireMax},
    {"challenge", Page::kSenderValidation, &Preferences::challenge, 0, kAny},
    {"from", Page::kSenderValidation, &Preferences::from, 0, kFromMax},
    {"method", Page::kSenderValidation, &Preferences::method, 0, kMethodMax},
    {"charsetR", Page::kSenderValidation, &Preferences::charset_reply, 0, kCharsetIndexMax},
    {"charsetC", Page::kSenderValidation, &Preferences::charset_captcha, 0, kCharsetIndexMax},
};

using FileNameKey = FileNamePreference;

// All on the Sender Validation page, written after the numbers.
constexpr FileNameKey kFileNameKeys[] = {
    {"fn_txtR", &Preferences::fn_txt_reply},
    {"fn_txtC", &Preferences::fn_txt_captcha},
    {"fn_htmR", &Preferences::fn_htm_reply},
    {"fn_htmC", &Preferences::fn_htm_captcha},
};

std::string KeyOf(Page page) {
  return page == Page::kGeneral ? PreferencesGeneralKey() : PreferencesSenderValidationKey();
}

// A file name is usable when it is a string value of sensible length with no zero byte.
std::string FileNameOrEmpty(const platform::Registry& registry, const std::string& key,
                            std::string_view name) {
  const auto value = registry.Get(key, name);
  if (!value) return {};
  const auto* text = std::get_if<std::string>(&*value);
  if (text == nullptr || text->size() > kMaxTemplateFileName ||
      text->find('\0') != std::string::npos) {
    return {};
  }
  return *text;
}

void LoadTemplates(Preferences& preferences, const std::string& templates_folder) {
  for (const auto method : {ValidationMethod::kReply, ValidationMethod::kCaptcha}) {
    for (const auto kind : {TemplateKind::kHtml, TemplateKind::kPlainText}) {
      const std::string& file_name = TemplateFileName(preferences, method, kind);
      std::optional<std::string> text;
      if (!file_name.empty()) text = LoadTemplateFile(file_name);
      if (text) {
        MutableTemplateText(preferences, method, kind) = std::move(*text);
      } else {
        InstallDefaultTemplate(preferences, templates_folder, method, kind);
      }
    }
  }
}

}  // namespace

std::span<const NumberPreference> NumberPreferences() { return kNumberKeys; }
std::span<const FileNamePreference> FileNamePreferences() { return kFileNameKeys; }

const NumberPreference* FindNumberPreference(std::string_view name) {
  for (const NumberPreference& key : kNumberKeys) {
    if (key.name == name) return &key;
  }
  return nullptr;
}

std::string PreferenceRangeText(const NumberPreference& key) {
  const std::string range =
      "(a value between " + std::to_string(key.min) + " and " + std::to_string(key.max) + ").";
  if (key.name == "checkmail_delay") return "Please enter a valid check mail delay " + range;
  if (key.name == "expire") return "Please enter a valid expiration limit " + range;
  return "Please enter a valid " + std::string(key.name) + " " + range;
}

std::string PreferencesGeneralKey() {
  return std::string(platform::kProgramKey) + "\\Preferences\\General";
}

std::string PreferencesSenderValidationKey() {
  return std::string(platform::kProgramKey) + "\\Preferences\\Sender Validation";
}

Preferences LoadPreferences(const platform::Registry& registry,
                            const std::string& templates_folder) {
  Preferences preferences;
  for (const NumberKey& key : kNumberKeys) {
    const auto value = registry.GetNumber(KeyOf(key.page), key.name);
    if (value && *value >= key.min && *value <= key.max) preferences.*key.field = *value;
  }
  const std::string sender_validation = PreferencesSenderValidationKey();
  for (const FileNameKey& key : kFileNameKeys) {
    preferences.*key.field = FileNameOrEmpty(registry, sender_validation, key.name);
  }
  LoadTemplates(preferences, templates_folder);
  return preferences;
}

bool SavePreferences(platform::Registry& registry, const Preferences& preferences) {
  bool all_stored = true;
  for (const NumberKey& key : kNumberKeys) {
    all_stored &= registry.SetNumber(KeyOf(key.page), key.name, preferences.*key.field);
  }
  const std::string sender_validation = PreferencesSenderValidationKey();
  for (const FileNameKey& key : kFileNameKeys) {
    all_stored &= registry.SetString(sender_validation, key.name, preferences.*key.field);
  }
  return all_stored;
}

std::string& MutableTemplateText(Preferences& preferences, ValidationMethod method,
                                 TemplateKind kind) {
  return preferences.template_texts[method == ValidationMethod::kCaptcha ? 1 : 0]
                                   [kind == TemplateKind::kHtml ? 1 : 0];
}

const std::string& TemplateText(const Preferences& preferences, ValidationMethod method,
                                TemplateKind kind) {
  return MutableTemplateText(const_cast<Preferences&>(preferences), method, kind);
}

std::string_view CharsetName(const Preferences& preferences, ValidationMethod method) {
  const std::uint32_t index = method == ValidationMethod::kCaptcha ? preferences.charset_captcha
                                                                   : preferences.charset_reply;
  return mailformat::CharsetMimeName(index);
}

std::string& TemplateFileName(Preferences& preferences, ValidationMethod method,
                              TemplateKind kind) {
  const bool captcha = method == ValidationMethod::kCaptcha;
  if (kind == TemplateKind::kHtml) {
    return captcha ? preferences.fn_htm_captcha : preferences.fn_htm_reply;
  }
  return captcha ? preferences.fn_txt_captcha : preferences.fn_txt_reply;
}

const std::string& TemplateFileName(const Preferences& preferences, ValidationMethod method,
                                    TemplateKind kind) {
  return TemplateFileName(const_cast<Preferences&>(preferences), method, kind);
}

std::uint32_t& CharsetIndex(Preferences& preferences, ValidationMethod method) {
  return method == ValidationMethod::kCaptcha ? preferences.charset_captcha
                                              : preferences.charset_reply;
}

ValidationMethod SelectedMethod(const Preferences& preferences) {
  return preferences.method == 1 ? ValidationMethod::kCaptcha : ValidationMethod::kReply;
}

}  // namespace pelrion::core
