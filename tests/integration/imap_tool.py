"""Arranges and reads the test IMAP server's folders for the mail tests (Python's imaplib, no part of
the program). The server is SALES_TEST_IMAP (imap://host:port), the login SALES_TEST_MAIL_USER and
SALES_TEST_MAIL_PASSWORD.

  imap_tool.py create FOLDER           make the folder (an existing one is emptied and removed first)
  imap_tool.py delete FOLDER           remove it, if it is there
  imap_tool.py append FOLDER FILE...   add each file as a message
  imap_tool.py list FOLDER             one line per message: UID and flags (without \\Recent); first
                                       line UIDVALIDITY, or "missing"
"""
import base64
import imaplib
import os
import sys
import urllib.parse


def connect():
    url = urllib.parse.urlsplit(os.environ["SALES_TEST_IMAP"])
    m = imaplib.IMAP4(url.hostname, url.port)
    m.login(os.environ["SALES_TEST_MAIL_USER"], os.environ["SALES_TEST_MAIL_PASSWORD"])
    return m


def modified_utf7(name):
    """RFC 3501 5.1.3, written here independently of the program's own encoder."""
    out, run = [], []

    def flush():
        if run:
            data = "".join(run).encode("utf-16-be")
            out.append("&" + base64.b64encode(data).decode().rstrip("=").replace("/", ",") + "-")
            run.clear()

    for c in name:
        if 0x20 <= ord(c) <= 0x7E:
            flush()
            out.append("&-" if c == "&" else c)
        else:
            run.append(c)
    flush()
    return "".join(out)


def quoted(name):
    name = modified_utf7(name)
    return '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    command, folder = sys.argv[1], sys.argv[2]
    m = connect()
    box = quoted(folder)
    if command in ("create", "delete"):
        status, _ = m.select(box)
        if status == "OK":
            m.close()
            m.delete(box)
        if command == "create":
            status, detail = m.create(box)
            if status != "OK":
                sys.exit(f"create {folder}: {detail}")
    elif command == "append":
        for path in sys.argv[3:]:
            with open(path, "rb") as f:
                status, detail = m.append(box, None, None, f.read())
            if status != "OK":
                sys.exit(f"append {path}: {detail}")
    elif command == "list":
        status, _ = m.select(box, readonly=True)
        if status != "OK":
            print("missing")
            return
        print(m.response("UIDVALIDITY")[1][0].decode())
        status, data = m.uid("FETCH", "1:*", "(FLAGS)")
        for item in data:
            if not item:
                continue
            text = item.decode()
            uid = text.split("UID ")[1].split()[0].rstrip(")")
            # \Recent depends on which session saw the message first: left out.
            flags = [f for f in text.split("FLAGS (")[1].split(")")[0].split() if f != "\\Recent"]
            print(uid, " ".join(flags))
    else:
        sys.exit(f"unknown command {command}")
    m.logout()


main()
