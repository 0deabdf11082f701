"""TDS packets on one client socket, in the clear or inside TLS.

TDS 7.x carries the TLS handshake inside PRELOGIN packets (type 0x12); once it is done, TLS records
travel bare on the socket with the TDS packets inside them. With login-only encryption the LOGIN7
message is the last thing encrypted and both sides go back to the clear.

Part of the TDS stand-in, a test fixture: nothing here is used by the program itself.
"""

import select
import socket
import ssl
import struct

HEADER = 8
PRELOGIN = 0x12
ATTENTION = 0x06
STATUS_EOM = 0x01


class Closed(Exception):
    """The client went away, or sent what is no TDS packet."""


class Wire:
    def __init__(self, sock):
        self._sock = sock
        self._plain = bytearray()       # TDS bytes received, decrypted where TLS is on
        self._tls = None                # ssl.SSLObject while records travel bare on the socket
        self._incoming = None
        self._outgoing = None
        self.packet_size = 4096
        self.spid = 0
        self.received_bytes = 0

    # Reading ---------------------------------------------------------------------------------

    def _fill(self, timeout=None):
        """Adds what the socket has to the plain buffer; False when nothing came within timeout."""
        if self._tls is not None:
            try:
                data = self._tls.read(65536)
                if data:
                    self._plain += data
                    return True
            except ssl.SSLWantReadError:
                pass
            except ssl.SSLError as error:
                raise Closed('TLS: %s' % error) from error
        if timeout is not None:
            readable, _, _ = select.select([self._sock], [], [], timeout)
            if not readable:
                return False
        try:
            data = self._sock.recv(65536)
        except OSError as error:
            raise Closed(str(error)) from error
        if not data:
            raise Closed('the client closed the connection')
        self.received_bytes += len(data)
        if self._tls is None:
            self._plain += data
            return True
        self._incoming.write(data)
        try:
            while True:
                self._plain += self._tls.read(65536)
        except ssl.SSLWantReadError:
            pass
        except ssl.SSLError as error:
            raise Closed('TLS: %s' % error) from error
        return True

    def _take(self, count):
        while len(self._plain) < count:
            self._fill()
        data = bytes(self._plain[:count])
        del self._plain[:count]
        return data

    def read_packet(self):
        """(type, status, payload) of the next packet."""
        header = self._take(HEADER)
        kind, status, length = struct.unpack('>BBH', header[:4])
        if length < HEADER:
            raise Closed('a packet of length %d' % length)
        return kind, status, self._take(length - HEADER)

    def read_message(self):
        """(type, payload) of the next message: its packets up to the one marked end of message."""
        kind, status, payload = self.read_packet()
        parts = [payload]
        while not status & STATUS_EOM:
            next_kind, status, payload = self.read_packet()
            if next_kind == ATTENTION:
                return ATTENTION, b''
            parts.append(payload)
        return kind, b''.join(parts)

    def packet_waiting(self, timeout):
        """Whether a whole packet header has arrived within timeout seconds."""
        while len(self._plain) < HEADER:
            if not self._fill(timeout):
                return False
        return True

    # Writing ---------------------------------------------------------------------------------

    def _send_raw(self, data):
        try:
            self._sock.sendall(data)
        except OSError as error:
            raise Closed(str(error)) from error

    def _send(self, data):
        if self._tls is None:
            self._send_raw(data)
            return
        self._tls.write(data)
        self._send_raw(self._outgoing.read())

    def packets(self, kind, payload, last=True):
        """The bytes of payload split into packets of the agreed size."""
        room = self.packet_size - HEADER
        out = []
        chunks = [payload[i:i + room] for i in range(0, len(payload), room)] or [b'']
        for index, chunk in enumerate(chunks):
            status = STATUS_EOM if last and index == len(chunks) - 1 else 0
            out.append(struct.pack('>BBHHBB', kind, status, len(chunk) + HEADER, self.spid, 1, 0) + chunk)
        return b''.join(out)

    def send_message(self, kind, payload):
        self._send(self.packets(kind, payload))

    def send_packets(self, data):
        """Whole packets made by packets()."""
        self._send(data)

    def send_raw_bytes(self, data):
        """Bytes as they are, cut anywhere: for a server that fails in the middle of a row."""
        self._send(data)

    # TLS ------------------------------------------------------------------------------------

    def start_tls(self, context):
        """The server's side of the handshake, carried in PRELOGIN packets."""
        self._incoming = ssl.MemoryBIO()
        self._outgoing = ssl.MemoryBIO()
        tls = context.wrap_bio(self._incoming, self._outgoing, server_side=True)
        while True:
            try:
                tls.do_handshake()
                done = True
            except ssl.SSLWantReadError:
                done = False
            except ssl.SSLError as error:
                raise Closed('TLS handshake: %s' % error) from error
            pending = self._outgoing.read()
            if pending:
                self._send_raw(self.packets(PRELOGIN, pending))
            if done:
                break
            kind, _, payload = self.read_packet()
            if kind != PRELOGIN:
                raise Closed('a packet of type 0x%02x during the TLS handshake' % kind)
            self._incoming.write(payload)
        self._tls = tls

    def stop_tls(self):
        """Back to the clear after a login-only encryption."""
        self._tls = None

    @property
    def encrypted(self):
        return self._tls is not None

    def close(self):
        try:
            self._sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._sock.close()
