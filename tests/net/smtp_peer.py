#!/usr/bin/python3
"""A mail server for the tests, and a reader of the mails it received.

  smtp_peer.py serve OUTDIR [--refuse-rcpt ADDRESS]
      Starts aiosmtpd on a free port of the loopback interface and prints the
      port on a line of its own. Every mail is saved as OUTDIR/<n>.eml (the
      bytes as received) with its envelope in OUTDIR/<n>.envelope (the sender
      and the recipients, one a line). A recipient ADDRESS is refused with 550.
      Runs until standard input closes.
  smtp_peer.py parse FILE OUTDIR
      Parses a saved mail with Python's email package and writes what it
      found into OUTDIR: headers.txt (one "Name: value" a line, in order),
      parts.txt (the content type of every part, one a line), body.bin (the
      decoded text part) and one file per attachment named by its filename,
      holding the decoded bytes.
"""
import asyncio
import email
import email.policy
import os
import socket
import sys


def serve(outdir, refused):
    from aiosmtpd.smtp import SMTP

    class Handler:
        def __init__(self):
            self.count = 0

        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if address == refused:
                return "550 5.1.1 mailbox unavailable"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            self.count += 1
            base = os.path.join(outdir, str(self.count))
            with open(base + ".eml.part", "wb") as f:
                f.write(envelope.original_content)
            with open(base + ".envelope", "w") as f:
                f.write(envelope.mail_from + "\n")
                for r in envelope.rcpt_tos:
                    f.write(r + "\n")
            os.rename(base + ".eml.part", base + ".eml")
            return "250 Message accepted for delivery"

    handler = Handler()
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", 0))
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(lambda: SMTP(handler, hostname="peer.test"), sock=sock))
    print(sock.getsockname()[1], flush=True)

    stop = asyncio.Event()
    loop.add_reader(sys.stdin.fileno(), lambda: stop.set() if not sys.stdin.buffer.read1(4096) else None)
    loop.run_until_complete(stop.wait())
    server.close()
    loop.run_until_complete(server.wait_closed())


def parse(path, outdir):
    with open(path, "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.compat32)
    with open(os.path.join(outdir, "headers.txt"), "w") as f:
        for name, value in msg.items():
            f.write("%s: %s\n" % (name, value))
    with open(os.path.join(outdir, "parts.txt"), "w") as f:
        for part in msg.walk():
            f.write(part.get_content_type() + "\n")
    parts = msg.get_payload() if msg.is_multipart() else [msg]
    for part in parts:
        name = part.get_filename()
        data = part.get_payload(decode=True)
        target = os.path.join(outdir, os.path.basename(name) if name else "body.bin")
        with open(target, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "serve":
        refused = sys.argv[4] if len(sys.argv) >= 5 and sys.argv[3] == "--refuse-rcpt" else None
        serve(sys.argv[2], refused)
    elif len(sys.argv) == 4 and sys.argv[1] == "parse":
        parse(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
