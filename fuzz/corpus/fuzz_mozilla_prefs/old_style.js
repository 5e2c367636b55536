user_pref("network.hosts.pop_server", "pop");
user_pref("mail.pop_name", "u");
user_pref("network.hosts.smtp_server", "smtp");
user_pref("mail.identity.useremail", "A@B");
user_pref("mail.server_type", 0);
