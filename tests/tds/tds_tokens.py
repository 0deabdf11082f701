"""The TDS messages and tokens the stand-in reads and writes: PRELOGIN, LOGIN7, SQL batches, and the
tokens of a reply (ENVCHANGE, INFO, ERROR, LOGINACK, FEATUREEXTACK, COLMETADATA, ROW, NBCROW, DONE).

Part of the TDS stand-in, a test fixture: nothing here is used by the program itself.
"""

import struct

# PRELOGIN options and encryption values
PL_VERSION, PL_ENCRYPTION, PL_INSTOPT, PL_THREADID, PL_MARS = 0, 1, 2, 3, 4
ENCRYPT_OFF, ENCRYPT_ON, ENCRYPT_NOT_SUP, ENCRYPT_REQ = 0, 1, 2, 3

# Message types
SQL_BATCH, RPC, TABULAR_RESULT, ATTENTION, LOGIN7, PRELOGIN = 0x01, 0x03, 0x04, 0x06, 0x10, 0x12

# Tokens
COLMETADATA, ERROR, INFO, LOGINACK, FEATUREEXTACK = 0x81, 0xAA, 0xAB, 0xAD, 0xAE
ROW, NBCROW, ENVCHANGE, DONE = 0xD1, 0xD2, 0xE3, 0xFD

# DONE status bits
DONE_FINAL, DONE_MORE, DONE_ERROR, DONE_COUNT, DONE_ATTN = 0x00, 0x01, 0x02, 0x10, 0x20
CMD_SELECT = 0xC1

TDS_73B = 0x730B0003
TDS_74 = 0x74000004

SERVER_NAME = 'TDS-STANDIN'
SERVER_VERSION = (15, 0, 2000)


def parse_prelogin(payload):
    """The options of a PRELOGIN message, by option token."""
    options = {}
    position = 0
    while position < len(payload) and payload[position] != 0xFF:
        token, offset, length = struct.unpack('>BHH', payload[position:position + 5])
        options[token] = payload[offset:offset + length]
        position += 5
    return options


def prelogin_reply(encryption):
    major, minor, build = SERVER_VERSION
    fields = [
        (PL_VERSION, struct.pack('>BBHH', major, minor, build, 0)),
        (PL_ENCRYPTION, bytes([encryption])),
        (PL_INSTOPT, b'\x00'),
        (PL_THREADID, b''),
        (PL_MARS, b'\x00'),
    ]
    offset = 5 * len(fields) + 1
    table, data = b'', b''
    for token, value in fields:
        table += struct.pack('>BHH', token, offset + len(data), len(value))
        data += value
    return table + b'\xff' + data


class Login:
    """What a LOGIN7 message says."""

    def __init__(self, payload):
        (self.length, self.tds_version, self.packet_size, _, self.client_pid, _, self.flags1, self.flags2,
         self.type_flags, self.flags3, _, _) = struct.unpack('<IIIIIIBBBBiI', payload[:36])

        def text(index):
            offset, count = struct.unpack('<HH', payload[36 + 4 * index:40 + 4 * index])
            return payload[offset:offset + 2 * count]

        self.host = text(0).decode('utf-16-le')
        self.user = text(1).decode('utf-16-le')
        self.password = bytes(((b ^ 0xA5) >> 4 | ((b ^ 0xA5) & 0x0F) << 4) for b in text(2)).decode('utf-16-le')
        self.application = text(3).decode('utf-16-le')
        self.server = text(4).decode('utf-16-le')
        self.library = text(6).decode('utf-16-le')
        self.language = text(7).decode('utf-16-le')
        self.database = text(8).decode('utf-16-le')
        self.integrated = bool(self.flags2 & 0x80)
        self.wants_features = bool(self.flags3 & 0x10)


def batch_text(payload):
    """The SQL of a batch, after the ALL_HEADERS that TDS 7.2 and later put before it."""
    if len(payload) >= 4:
        total = struct.unpack('<I', payload[:4])[0]
        if 4 <= total <= len(payload) and total >= 22:
            payload = payload[total:]
    return payload.decode('utf-16-le', errors='replace')


def b_varchar(text):
    data = text.encode('utf-16-le')
    return bytes([len(text)]) + data


def us_varchar(text):
    return struct.pack('<H', len(text)) + text.encode('utf-16-le')


def envchange(kind, new, old):
    if kind == 7:   # collation: bytes
        body = bytes([kind, len(new)]) + new + bytes([len(old)]) + old
    else:
        body = bytes([kind]) + b_varchar(new) + b_varchar(old)
    return bytes([ENVCHANGE]) + struct.pack('<H', len(body)) + body


def message(token, number, state, severity, text, line=1):
    body = (struct.pack('<iBB', number, state, severity) + us_varchar(text) + b_varchar(SERVER_NAME)
            + b_varchar('') + struct.pack('<i', line))
    return bytes([token]) + struct.pack('<H', len(body)) + body


def error(number, text, severity=16, state=1):
    return message(ERROR, number, state, severity, text)


def info(number, text, state=1):
    return message(INFO, number, state, 0, text)


def loginack(tds_version):
    major, minor, build = SERVER_VERSION
    body = (bytes([1]) + struct.pack('>I', tds_version) + b_varchar('Microsoft SQL Server')
            + bytes([major, minor, build >> 8, build & 0xFF]))
    return bytes([LOGINACK]) + struct.pack('<H', len(body)) + body


def featureextack():
    return bytes([FEATUREEXTACK, 0xFF])


def done(status=DONE_FINAL, count=0, command=0):
    return bytes([DONE]) + struct.pack('<HHQ', status, command, count)


def colmetadata(columns):
    """columns: (name, SqlType) pairs; every column is nullable."""
    out = [bytes([COLMETADATA]), struct.pack('<H', len(columns))]
    for name, sql_type in columns:
        out.append(struct.pack('<IH', 0, 0x0001) + sql_type.type_info() + b_varchar(name))
    return b''.join(out)


def row(types, values, null_bitmap_rows):
    """A ROW, or an NBCROW when the row holds a NULL and the client reads them (TDS 7.3B and later)."""
    if null_bitmap_rows and any(value is None for value in values):
        bitmap = bytearray((len(values) + 7) // 8)
        cells = []
        for index, (sql_type, value) in enumerate(zip(types, values)):
            if value is None:
                bitmap[index // 8] |= 1 << (index % 8)
            else:
                cells.append(sql_type.value(value))
        return bytes([NBCROW]) + bytes(bitmap) + b''.join(cells)
    return bytes([ROW]) + b''.join(sql_type.value(value) for sql_type, value in zip(types, values))
