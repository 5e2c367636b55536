#!/usr/bin/env python3
"""Writes a mail corpus for the POP3 benchmark: one .eml file per message, CR LF line ends.

A mix of plain-text messages (with lines the server must dot-stuff), quoted-printable HTML
and multipart messages with base64 attachments, plus one large attachment so that memory
growth with the size of a message shows. The same seed and size give the same bytes.

    make_corpus.py --mb 400 --out DIR [--seed 12]
"""
import argparse
import base64
import binascii
import os
import random

WORDS = ("mail order invoice meeting report quarterly the a of and to in for on with "
         "Pelrion filter sender address message server delivery account schedule project "
         "résumé naïve café déjà Grüße").split()


def crlf(text: bytes) -> bytes:
    return text.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def prose(rng: random.Random, size: int, width: int = 72) -> str:
    lines, total = [], 0
    while total < size:
        words, length = [], 0
        while length < width:
            word = rng.choice(WORDS)
            words.append(word)
            length += len(word) + 1
        line = " ".join(words)
        # Lines a POP3 server has to stuff with one more period.
        if rng.random() < 0.01:
            line = rng.choice([".", "..", ".signature follows", "...and so on"])
        lines.append(line)
        total += len(line) + 2
    return "\n".join(lines) + "\n"


def header(n: int, seed: int, subject: str, content_type: str, extra: str = "") -> str:
    return (f"From: Sender {n} <sender{n % 37}@example.test>\n"
            f"To: Bench User <bench@example.test>\n"
            f"Subject: {subject} {n}\n"
            f"Date: Thu, 10 Dec 2026 {n % 24:02d}:{n % 60:02d}:00 +0000\n"
            f"Message-ID: <{n}.{seed}@bench.example.test>\n"
            f"MIME-Version: 1.0\n"
            f"Content-Type: {content_type}\n{extra}\n")


def plain(rng, n, seed, size):
    return crlf((header(n, seed, "Plain note", "text/plain; charset=utf-8",
                        "Content-Transfer-Encoding: 8bit\n") + prose(rng, size)).encode())


def quoted_printable(rng, n, seed, size):
    html = "<html><body>" + prose(rng, size, width=180).replace("\n", "<br>") + "</body></html>\n"
    body = binascii.b2a_qp(html.encode(), istext=True)
    return crlf(header(n, seed, "Newsletter", "text/html; charset=utf-8",
                       "Content-Transfer-Encoding: quoted-printable\n").encode() + body)


def attachment(rng, n, seed, size):
    boundary = f"=_bench_{n}_{seed}"
    payload = base64.encodebytes(rng.randbytes(size * 3 // 4))
    text = prose(rng, 2000)
    parts = (f"--{boundary}\nContent-Type: text/plain; charset=utf-8\n"
             f"Content-Transfer-Encoding: 8bit\n\n{text}\n"
             f"--{boundary}\nContent-Type: application/octet-stream; name=\"data{n}.bin\"\n"
             f"Content-Disposition: attachment; filename=\"data{n}.bin\"\n"
             f"Content-Transfer-Encoding: base64\n\n").encode()
    message = (header(n, seed, "Files attached", f"multipart/mixed; boundary=\"{boundary}\"").encode()
               + parts + payload + f"\n--{boundary}--\n".encode())
    return crlf(message)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mb", type=float, required=True, help="total size in MB (10^6 bytes)")
    parser.add_argument("--out", required=True)
    parser.add_argument("--seed", type=int, default=12)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    target = int(args.mb * 1e6)
    # Attachments scale with the corpus so that a small run still holds dozens of messages.
    largest_attachment = max(50_000, min(6_000_000, target // 60))
    os.makedirs(args.out, exist_ok=True)
    total, n = 0, 0

    def write(message: bytes):
        nonlocal total, n
        with open(os.path.join(args.out, f"msg-{n:05d}.eml"), "wb") as out:
            out.write(message)
        total += len(message)

    # One big message first: a tenth of the corpus, at most 64 MB.
    n += 1
    write(attachment(rng, n, args.seed, min(64_000_000, max(100_000, target // 10))))
    while total < target:
        n += 1
        kind = rng.random()
        if kind < 0.4:
            write(plain(rng, n, args.seed, rng.randint(2_000, 60_000)))
        elif kind < 0.7:
            write(quoted_printable(rng, n, args.seed, rng.randint(20_000, 300_000)))
        else:
            write(attachment(rng, n, args.seed, rng.randint(largest_attachment // 30, largest_attachment)))
    print(f"messages {n} octets {total}")


if __name__ == "__main__":
    main()
