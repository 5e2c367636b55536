"""Describes a MIME message the way an independent mail reader sees it.

Usage: request_structure.py FILE

Prints, for the tests of the request composer:
  STRUCTURE <content type tree, e.g. multipart/mixed(text/plain,image/gif)>
  DEFECTS <number of defects the parser found in any part>
then for every leaf part in order a block of lines
  PART
  type <content type>
  charset <charset parameter or empty>
  disposition <content disposition or empty>
  filename <filename parameter or empty>
  cid <Content-ID value or empty>
  body <hexadecimal of the decoded body>
  END
"""
import email
import sys
from email import policy


def structure(part):
    if part.is_multipart():
        inner = ",".join(structure(child) for child in part.get_payload())
        return "%s(%s)" % (part.get_content_type(), inner)
    return part.get_content_type()


def main():
    with open(sys.argv[1], "rb") as f:
        message = email.message_from_bytes(f.read(), policy=policy.compat32)
    print("STRUCTURE", structure(message))
    print("DEFECTS", sum(len(part.defects) for part in message.walk()))
    for part in message.walk():
        if part.is_multipart():
            continue
        body = part.get_payload(decode=True) or b""
        print("PART")
        print("type", part.get_content_type())
        print("charset", part.get_param("charset") or "")
        print("disposition", part.get_content_disposition() or "")
        print("filename", part.get_filename() or "")
        print("cid", part.get("Content-ID", ""))
        print("body", body.hex())
        print("END")


if __name__ == "__main__":
    main()
