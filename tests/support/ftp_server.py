"""An FTP server for tests: serves one directory on 127.0.0.1.

usage: /usr/bin/python3 ftp_server.py PORT DIR USER PASSWORD

USER with PASSWORD may read and write DIR; an anonymous login may read it.
"""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    port = int(sys.argv[1])
    directory, user, password = sys.argv[2], sys.argv[3], sys.argv[4]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, directory, perm="elradfmw")
    authorizer.add_anonymous(directory)
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "test server ready"
    handler.auth_failed_timeout = 0.1  # a refused login is answered at once
    logging.basicConfig(level=logging.INFO, stream=sys.stderr)
    server = FTPServer(("127.0.0.1", port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
