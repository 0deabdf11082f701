#!/usr/bin/python3
"""A SQL Server stand-in for Quillon's tests and demo: a TDS 7.4 server on a loopback port in front of
a PostgreSQL database. It is a test fixture, not a database server: the program does not know it
exists and reaches it only as a SQL Server, through an ODBC driver.

Reach:
- PRELOGIN with or without TLS (TLS 1.2 carried in PRELOGIN packets, a self-signed certificate made
  at start): login-only encryption for a client that asks for it, the whole session for one that
  requires it, none for --no-tls (ENCRYPT_NOT_SUP).
- LOGIN7 with SQL logins, checked by logging on to PostgreSQL with the same name and password
  (error 18456, class 14, on a wrong one); the environment changes and LOGINACK a server sends.
- SQL batches run on a PostgreSQL session of the login's own, each column sent as SQL Server sends
  its type. PostgreSQL's types map to the nearest SQL Server type; a column alias "label:type"
  sends the column as that SQL Server type under the name label, e.g. '2024-02-29 10:14:15.5+03'
  as "at:datetimeoffset(7)", or '42' as "v:sql_variant(int)".
- sp_who2, kill, dbcc inputbuffer and waitfor delay answered from the stand-in's own sessions;
  ATTENTION cancels what runs and is answered with DONE_ATTN.

Limits: a batch runs as PostgreSQL SQL (T-SQL is not translated beyond the commands above) and
replies with the result of its last statement only; no RPC requests, no MARS, no Windows logins.

    tds_standin.py --pg-port PORT --database NAME [--port PORT] [--no-tls]
prints "listening on 127.0.0.1:PORT" once it accepts connections.
"""

import argparse
import datetime
import os
import signal
import socket
import ssl
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True

from tds_session import Session  # noqa: E402


def self_signed_context():
    """TLS 1.2 with a certificate made now, as a server with no certificate of its own has."""
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import NameOID

    key = ec.generate_private_key(ec.SECP256R1())
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, 'TDS stand-in for tests')])
    now = datetime.datetime.utcnow()
    certificate = (x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(key.public_key())
                   .serial_number(x509.random_serial_number()).not_valid_before(now - datetime.timedelta(days=1))
                   .not_valid_after(now + datetime.timedelta(days=30))
                   .add_extension(x509.SubjectAlternativeName([x509.DNSName('localhost')]), critical=False)
                   .sign(key, hashes.SHA256()))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    # The handshake's last flight must fit in PRELOGIN packets: no TLS 1.3 tickets after it.
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.options |= ssl.OP_NO_TICKET
    with tempfile.TemporaryDirectory() as folder:
        cert_file = os.path.join(folder, 'cert.pem')
        key_file = os.path.join(folder, 'key.pem')
        with open(cert_file, 'wb') as out:
            out.write(certificate.public_bytes(serialization.Encoding.PEM))
        with open(key_file, 'wb') as out:
            out.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                        serialization.NoEncryption()))
        context.load_cert_chain(cert_file, key_file)
    return context


class Server:
    """The listener and the registry of live sessions that sp_who2, kill and inputbuffer read."""

    def __init__(self, pg_host, pg_port, database, tls):
        self.pg_host = pg_host
        self.pg_port = pg_port
        self.database = database
        self.tls = tls
        self.started = datetime.datetime.now()
        self._lock = threading.Lock()
        self._sessions = {}
        self._first_spid = 51
        self._text_oids = None

    def register(self, session):
        with self._lock:
            # Like SQL Server, the lowest number that no live session holds: an ended session's
            # number goes to the next one that connects.
            spid = self._first_spid
            while spid in self._sessions:
                spid += 1
            session.spid = spid
            self._sessions[spid] = session

    def forget(self, session):
        with self._lock:
            if self._sessions.get(session.spid) is session:
                del self._sessions[session.spid]

    def sessions(self):
        with self._lock:
            return [self._sessions[spid] for spid in sorted(self._sessions)]

    def session(self, spid):
        with self._lock:
            return self._sessions.get(spid)

    def text_oids(self, connection):
        """Every PostgreSQL type, read as its text: the stand-in converts values itself."""
        with self._lock:
            if self._text_oids is None:
                with connection.cursor() as cursor:
                    cursor.execute('select oid from pg_type')
                    self._text_oids = tuple(int(row[0]) for row in cursor.fetchall())
            return self._text_oids

    def serve(self, listener):
        while True:
            client, _ = listener.accept()
            client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=Session(self, client).serve, daemon=True).start()


def main():
    parser = argparse.ArgumentParser(description='A SQL Server stand-in (TDS 7.4) in front of PostgreSQL, for tests.')
    parser.add_argument('--port', type=int, default=0, help='loopback port to listen on; 0 picks a free one')
    parser.add_argument('--pg-host', default='127.0.0.1')
    parser.add_argument('--pg-port', type=int, required=True)
    parser.add_argument('--database', required=True, help='the PostgreSQL database a login without one gets')
    parser.add_argument('--no-tls', action='store_true', help='a server that cannot encrypt')
    args = parser.parse_args()

    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    server = Server(args.pg_host, args.pg_port, args.database, None if args.no_tls else self_signed_context())
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(('127.0.0.1', args.port))
    listener.listen(64)
    print('listening on 127.0.0.1:%d' % listener.getsockname()[1], flush=True)
    try:
        server.serve(listener)
    except KeyboardInterrupt:
        pass


if __name__ == '__main__':
    main()
