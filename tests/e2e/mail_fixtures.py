"""Messages as senders, mail servers and mail programs write them: plain fixture mail, a
delivery status report of a mail server, and the reply a mail program builds to a message."""
import email
import email.message
import email.policy
import email.utils

CRLF = b"\r\n"


def crlf(text):
    """Text with LF or CR LF line ends as bytes with CR LF line ends."""
    data = text.encode("utf-8") if isinstance(text, str) else text
    return data.replace(CRLF, b"\n").replace(b"\n", CRLF)


def plain_message(headers, body):
    """headers: [(name, value)] in order; body: text. CR LF line ends throughout."""
    block = "".join(f"{name}: {value}\n" for name, value in headers)
    return crlf(block + "\n" + body)


def header_block(message):
    """The header block of raw message bytes, without the empty line that ends it."""
    end = message.find(CRLF + CRLF)
    assert end >= 0, "message without a header block"
    return message[:end + len(CRLF)]


def delivery_status_report(returned_headers, recipient, reported_to, mta="mx.example.net"):
    """A non-delivery report as a mail server sends it: from the mailer daemon with an empty
    Return-Path, multipart/report with a human part, the machine-readable status and the
    header block of the returned message (text/rfc822-headers)."""
    boundary = "=_report_7f3a9c"
    head = plain_message([
        ("Return-Path", "<>"),
        ("Received", f"from localhost by {mta}; Thu, 10 Dec 2026 09:15:02 +0000"),
        ("Date", "Thu, 10 Dec 2026 09:15:02 +0000"),
        ("From", f"Mail Delivery System <MAILER-DAEMON@{mta}>"),
        ("To", reported_to),
        ("Subject", "Undelivered Mail Returned to Sender"),
        ("Message-ID", f"<20261210091502.4F1A2@{mta}>"),
        ("MIME-Version", "1.0"),
        ("Content-Type",
         f'multipart/report; report-type=delivery-status; boundary="{boundary}"'),
    ], (
        "This is a MIME-encapsulated message.\n\n"
        f"--{boundary}\nContent-Type: text/plain; charset=us-ascii\n\n"
        f"I'm sorry to have to inform you that your message could not be delivered to\n"
        f"<{recipient}>: the mailbox does not exist.\n\n"
        f"--{boundary}\nContent-Type: message/delivery-status\n\n"
        f"Reporting-MTA: dns; {mta}\n\n"
        f"Final-Recipient: rfc822; {recipient}\nAction: failed\nStatus: 5.1.1\n"
        f"Diagnostic-Code: smtp; 550 5.1.1 <{recipient}>: Recipient address rejected\n\n"
        f"--{boundary}\nContent-Type: text/rfc822-headers\n\n"))
    return head + crlf(returned_headers) + crlf(f"\n--{boundary}--\n")


def reply_to(original, sender_name, sender_address, answer):
    """The reply a mail program writes to the raw message `original`: to its From, with
    "Re: " before the subject unless it already starts so, In-Reply-To and References, and
    the plain text of the original quoted below the answer."""
    policy = email.policy.default
    message = email.message_from_bytes(original, policy=policy)
    subject = str(message["Subject"])
    if not subject.lower().startswith("re:"):
        subject = "Re: " + subject
    body = message.get_body(preferencelist=("plain",))
    quoted = "\n".join("> " + line for line in body.get_content().splitlines())
    reply = email.message.EmailMessage(policy=policy.clone(linesep="\r\n"))
    reply["From"] = email.utils.formataddr((sender_name, sender_address))
    reply["To"] = str(message["From"])
    reply["Subject"] = subject
    reply["Date"] = "Thu, 10 Dec 2026 10:02:11 +0100"
    reply["Message-ID"] = email.utils.make_msgid(domain=sender_address.split("@")[1])
    original_id = str(message["Message-id"])
    reply["In-Reply-To"] = original_id
    reply["References"] = original_id
    reply.set_content(f"{answer}\n\nOn {message['Date']}, {message['From']} wrote:\n{quoted}\n")
    return reply.as_bytes()
