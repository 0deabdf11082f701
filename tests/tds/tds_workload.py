#!/usr/bin/python3
"""A few client sessions on the TDS stand-in for the demo, so that sp_who2 has something to show: one
keeps a row locked in an open transaction, one waits for that row holding another, one waits for that
other row, one waits on the server now and then, one sits idle between short queries. Each starts again when it ends (killed from the monitor,
say). A minimal TDS client of its own: logins in the clear, SQL batches, replies read and dropped.

Part of the TDS stand-in, a test fixture: nothing here is used by the program itself.

    tds_workload.py --port PORT --user USER --password-file FILE
"""

import argparse
import os
import socket
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True

import tds_tokens as tokens  # noqa: E402
from tds_wire import Closed, Wire  # noqa: E402


def login7(user, password, application, host):
    fields = [host, user, password, application, '127.0.0.1', '', 'tds_workload', 'us_english', '']
    fixed = 36 + 9 * 4 + 6 + 3 * 4 + 4
    offsets, data = b'', b''
    for index, text in enumerate(fields):
        encoded = text.encode('utf-16-le')
        if index == 2:
            encoded = bytes((((b << 4) | (b >> 4)) & 0xFF) ^ 0xA5 for b in encoded)
        offsets += struct.pack('<HH', fixed + len(data), len(text))
        data += encoded
    tail = b'\x00' * 6 + struct.pack('<HHHHHHI', fixed + len(data), 0, fixed + len(data), 0, fixed + len(data), 0, 0)
    head = struct.pack('<IIIIIIBBBBiI', fixed + len(data), tokens.TDS_74, 4096, 7, os.getpid(), 0, 0xE0, 0x03, 0, 0, 0,
                       0x0409)
    return head + offsets + tail + data


class Client:
    def __init__(self, port, user, password, application):
        sock = socket.create_connection(('127.0.0.1', port), timeout=None)
        self.wire = Wire(sock)
        prelogin = tokens.prelogin_reply(tokens.ENCRYPT_NOT_SUP)
        self.wire.send_message(tokens.PRELOGIN, prelogin)
        self.wire.read_message()
        self.wire.send_message(tokens.LOGIN7, login7(user, password, application, socket.gethostname()))
        _, reply = self.wire.read_message()
        if bytes([tokens.LOGINACK]) not in reply:
            raise Closed('login refused')

    def batch(self, sql):
        headers = struct.pack('<IIHQI', 22, 18, 2, 0, 1)
        self.wire.send_message(tokens.SQL_BATCH, headers + sql.encode('utf-16-le'))
        self.wire.read_message()


def session(port, user, password, application, work):
    """Runs work on a client of its own, again and again."""
    while True:
        try:
            work(Client(port, user, password, application))
        except (Closed, OSError):
            pass
        time.sleep(2)


def billing(client):
    client.batch('begin; update accounts set balance = balance - 1 where id = 2')
    time.sleep(300)
    client.batch('commit')


def payments(client):
    time.sleep(1)
    while True:
        client.batch('update accounts set balance = balance + 1 where id = 4; '
                     'update accounts set balance = balance + 1 where id = 2')
        time.sleep(2)


def audit(client):
    time.sleep(2)
    while True:
        client.batch('update accounts set balance = balance where id = 4')
        time.sleep(2)


def reports(client):
    while True:
        client.batch("waitfor delay '00:00:06'\nselect a.owner, count(*), sum(o.amount) from orders o "
                     'join accounts a on a.id = o.account_id group by a.owner')
        time.sleep(1)


def dashboard(client):
    while True:
        client.batch("select count(*) from orders where placed > now() - interval '1 day'")
        time.sleep(5)


def main():
    parser = argparse.ArgumentParser(description='Client sessions on the TDS stand-in, for the demo.')
    parser.add_argument('--port', type=int, required=True)
    parser.add_argument('--user', required=True)
    parser.add_argument('--password-file', required=True)
    args = parser.parse_args()
    with open(args.password_file, encoding='utf-8') as file:
        password = file.read().strip()
    for application, work in (('demo-billing', billing), ('demo-payments', payments), ('demo-audit', audit),
                              ('demo-reports', reports), ('demo-dashboard', dashboard)):
        threading.Thread(target=session, args=(args.port, args.user, password, application, work), daemon=True).start()
    threading.Event().wait()


if __name__ == '__main__':
    main()
