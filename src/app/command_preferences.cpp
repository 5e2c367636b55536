// get / set: the preferences by their registry value names.
#include <charconv>
#include <string>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "core/templates.h"

namespace pelrion::app {
namespace {

const core::FileNamePreference* FindFileName(std::string_view name) {
  for (const core::FileNamePreference& key : core::FileNamePreferences()) {
    if (key.name == name) return &key;
  }
  return nullptr;
}

platform::ControlReply Save(CommandContext& context) {
  if (!core::SavePreferences(context.registry, context.preferences)) {
    return Refused("pelrion: the settings could not be saved");
  }
  return Succeeded();
}

platform::ControlReply SetNumber(CommandContext& context, const core::NumberPreference& key,
                                 std::string_view text) {
  std::uint32_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);  // checked when parsed
  if (value < key.min || value > key.max) return Refused(core::PreferenceRangeText(key));
  std::uint32_t& field = context.preferences.*key.field;
  const bool changed = field != value;
  field = value;
  platform::ControlReply reply = Save(context);
  if (!changed) return reply;
  if (key.name == "checkmail" || key.name == "checkmail_delay") context.cycle.ResetCyclePeriod();
  if (key.name == "expire") context.stores.quarantine->ExpireQuarantine();
  return reply;
}

// The template is read now, as the Options page's Browse does; a file that fails keeps the
// previous template.
platform::ControlReply SetFileName(CommandContext& context,
                                   const core::FileNamePreference& key,
                                   const std::string& path) {
  core::Preferences& preferences = context.preferences;
  for (const auto method : {core::ValidationMethod::kReply, core::ValidationMethod::kCaptcha}) {
    for (const auto kind : {core::TemplateKind::kPlainText, core::TemplateKind::kHtml}) {
      std::string& file_name = core::TemplateFileName(preferences, method, kind);
      if (&file_name != &(preferences.*key.field)) continue;
      core::TemplateFileResult loaded = core::ReadTemplateFile(path);
      if (!loaded.text) {
        return Refused("Failed to load template from file " + path + ":\n" + loaded.reason);
      }
      core::MutableTemplateText(preferences, method, kind) = std::move(*loaded.text);
      file_name = path;
      return Save(context);
    }
  }
  return Refused("pelrion: unknown setting");
}

}  // namespace

platform::ControlReply RunPreferenceCommand(CommandContext& context,
                                            const ParsedCommand& command) {
  const std::string& name = command.args[0];
  const core::NumberPreference* number = core::FindNumberPreference(name);
  const core::FileNamePreference* file_name = FindFileName(name);
  if (command.id == CommandId::kGet) {
    if (number) return Succeeded(std::to_string(context.preferences.*number->field) + "\n");
    if (file_name) return Succeeded(context.preferences.*file_name->field + "\n");
  } else {
    if (number) return SetNumber(context, *number, command.args[1]);
    if (file_name) return SetFileName(context, *file_name, command.args[1]);
  }
  return Refused("pelrion: unknown setting '" + name + "'", kUsageExitCode);
}

}  // namespace pelrion::app
