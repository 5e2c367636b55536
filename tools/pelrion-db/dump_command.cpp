#include "dump_command.h"

#include "check_command.h"
#include "common/json_writer.h"
#include "store/contact.h"
#include "store/message_record.h"

namespace pelrion::dbtool {

using tools::JsonWriter;

namespace {

// The dotted quad of an address held in host byte order.
std::string DottedQuad(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::string Hex(const crypto::Md5Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t byte : digest) {
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  }
  return out;
}

std::string_view ProtocolName(store::ListenerProtocol protocol) {
  return protocol == store::ListenerProtocol::kSmtp ? "SMTP" : "POP3";
}

// The list a contact's mask places it in, by its low bits.
std::string_view ListName(std::uint32_t mask) {
  if ((mask & store::ListBit(0)) != 0) return "Trusted Contacts";
  if ((mask & store::ListBit(1)) != 0) return "Black List";
  return "";
}

void WriteAccount(JsonWriter& json, const LoadedAccount& loaded) {
  const store::MailAccount& a = loaded.account;
  json.BeginObject();
  json.Key("id");
  json.Int(a.id);
  json.Key("friendly_name");
  json.String(a.friendly_name.Text());
  json.Key("display_name");
  json.String(a.display_name.Text());
  json.Key("email");
  json.String(a.email_address.Text());
  json.Key("pop3_user");
  json.String(a.pop3_user_name.Text());
  json.Key("smtp_user");
  json.String(a.smtp_user_name.Text());
  json.Key("smtp_auth");
  json.Int(a.smtp_authentication);
  json.Key("included");
  json.Int(a.included);
  json.Key("pop3_listener");
  json.Int(a.pop3_listener_id);
  json.Key("smtp_listener");
  json.Int(a.smtp_listener_id);
  if (loaded.old_servers) {
    // Version 1: the servers are still in the record (a listener id of 0 is one the load
    // would create).
    json.Key("pop3_server");
    json.String(loaded.old_servers->pop3_host);
    json.Key("pop3_port");
    json.Int(loaded.old_servers->pop3_port);
    json.Key("smtp_server");
    json.String(loaded.old_servers->smtp_host);
    json.Key("smtp_port");
    json.Int(loaded.old_servers->smtp_port);
  }
  json.EndObject();
}

void WriteListener(JsonWriter& json, const store::Listener& l) {
  json.BeginObject();
  json.Key("id");
  json.Int(l.id);
  json.Key("host");
  json.String(l.server_host.Text());
  json.Key("port");
  json.Int(l.server_port);
  json.Key("protocol");
  json.String(ProtocolName(l.protocol));
  json.Key("local_address");
  json.String(DottedQuad(l.local_address));
  json.Key("local_port");
  json.Int(l.local_port);
  json.EndObject();
}

void WriteMessage(JsonWriter& json, const LoadedMessage& m) {
  const store::MessageSummary& s = m.summary;
  json.BeginObject();
  json.Key("id");
  json.Int(m.id);
  json.Key("account");
  json.Int(m.account_id);
  json.Key("flags");
  json.Int(m.flags);
  json.Key("folder");
  json.String(store::FolderName(store::FolderOfFlags(m.flags)));
  json.Key("status");
  json.Int(m.status);
  json.Key("request_number");
  json.Int(m.request_number);
  json.Key("authorization_code");
  json.Int(m.authorization_code);
  json.Key("request_sent");
  json.Int(m.request_sent_time);
  json.Key("size");
  json.Int(s.file_size);
  json.Key("sender");
  json.String(s.sender_address());
  json.Key("sender_name");
  json.String(s.sender_name_decoded());
  json.Key("subject");
  json.String(s.subject_decoded());
  json.Key("subject_as_written");
  json.String(s.subject());
  json.Key("sent");
  json.Int(s.sent);
  json.Key("received");
  json.Int(s.received);
  json.EndObject();
}

void WriteContact(JsonWriter& json, const LoadedContact& c) {
  json.BeginObject();
  json.Key("id");
  json.Int(c.id);
  json.Key("list");
  json.String(ListName(c.list_mask));
  json.Key("list_mask");
  json.Int(c.list_mask);
  json.Key("name");
  json.String(c.blob.name);
  json.Key("addresses");
  json.BeginArray();
  for (const std::string& address : c.blob.addresses) json.String(address);
  json.EndArray();
  json.EndObject();
}

}  // namespace

void WriteDump(const DatabaseModel& model, std::ostream& out) {
  JsonWriter json(out);
  json.BeginObject();
  json.Key("installation_id");
  if (model.installation_id) {
    json.String(*model.installation_id);
  } else {
    json.Null();
  }
  json.Key("accounts_version");
  if (model.accounts_version) {
    json.Int(*model.accounts_version);
  } else {
    json.Null();
  }
  json.Key("accounts");
  json.BeginArray();
  for (const LoadedAccount& account : model.accounts) WriteAccount(json, account);
  json.EndArray();
  json.Key("listeners");
  json.BeginArray();
  for (const store::Listener& listener : model.listeners) WriteListener(json, listener);
  json.EndArray();
  json.Key("messages");
  json.BeginArray();
  for (const LoadedMessage& message : model.messages) WriteMessage(json, message);
  json.EndArray();
  json.Key("contacts");
  json.BeginArray();
  for (const LoadedContact& contact : model.contacts) WriteContact(json, contact);
  json.EndArray();
  json.Key("trusted_domains");
  json.BeginArray();
  for (const std::string& domain : model.trusted_domains) json.String(domain);
  json.EndArray();
  json.Key("digests");
  json.BeginArray();
  for (const LoadedDigest& digest : model.digests) {
    json.BeginObject();
    json.Key("account");
    json.Int(digest.account_id);
    json.Key("digest");
    json.String(Hex(digest.digest));
    json.EndObject();
  }
  json.EndArray();
  json.Key("files");
  json.BeginArray();
  for (const FileReport& report : model.reports) {
    json.BeginObject();
    json.Key("name");
    json.String(report.name);
    json.Key("readable");
    json.Bool(report.readable);
    json.Key("kept");
    json.Int(static_cast<std::int64_t>(report.kept));
    json.Key("failed");
    json.Int(static_cast<std::int64_t>(report.failed));
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
}

int RunDump(const std::string& dir, std::ostream& out, std::ostream& err) {
  if (!CheckDirectoryArgument(dir, err)) return 1;
  const DatabaseModel model = LoadDatabaseModel(dir);
  WriteDump(model, out);
  for (const FileReport& report : model.reports) {
    if (!report.readable) {
      err << "pelrion-db: " << report.name << " cannot be read\n";
      return 1;
    }
  }
  return 0;
}

}  // namespace pelrion::dbtool
