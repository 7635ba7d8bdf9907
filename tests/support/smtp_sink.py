"""An SMTP server for tests: stores each message it accepts in a directory.

usage: /usr/bin/python3 smtp_sink.py PORT DIR

For message N it writes DIR/msgNNN.env (the sender, then one recipient a line)
and then DIR/msgNNN.eml (the message as received, dot-stuffing undone), so a
test that sees the .eml file sees both.
"""
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


class Sink:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.directory, "msg%03d" % self.count)
        with open(base + ".env", "w") as f:
            f.write(envelope.mail_from + "\n" + "".join(r + "\n" for r in envelope.rcpt_tos))
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 Message accepted for delivery"


def main():
    port = int(sys.argv[1])
    sink = Sink(sys.argv[2])
    loop = asyncio.new_event_loop()
    # A fixed host name: the default one would be looked up in the name service.
    server = loop.run_until_complete(
        loop.create_server(lambda: SMTP(sink, hostname="sink.test"), "127.0.0.1", port))
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
