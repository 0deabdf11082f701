"""SQL Server column types as TDS 7.3/7.4 carries them: the TYPE_INFO of COLMETADATA and the value
of each cell in a ROW, built from PostgreSQL's text form of the value.

Part of the TDS stand-in, a test fixture: nothing here is used by the program itself.
"""

import datetime
import decimal
import re
import struct
import uuid

# Cyrillic_General_CI_AS: LCID 0x0419 (its code page is Windows-1251), case-, kana- and
# width-insensitive, sort id 0. Narrow text columns carry it, so a client reads them in CP1251.
COLLATION = struct.pack('<IB', 0x0419 | (1 << 20) | (1 << 22) | (1 << 23), 0)
NARROW_ENCODING = 'cp1251'

PLP_NULL = 0xFFFFFFFFFFFFFFFF
PLP_CHUNK = 4000
CHARBIN_NULL = 0xFFFF
MAX = 'max'  # the length of a (max) type

BASE_DATE = datetime.date(1900, 1, 1)
TICKS_PER_SECOND = 10_000_000  # 100 ns, the finest fraction of time(7)


class TypeError_(ValueError):
    """A type name or a value that the stand-in cannot send."""


def _int(text):
    return int(text)


def _bool(text):
    value = text.strip().lower()
    if value in ('t', 'true', '1', 'y', 'yes', 'on'):
        return 1
    if value in ('f', 'false', '0', 'n', 'no', 'off'):
        return 0
    raise TypeError_('not a bit value: %r' % text)


def _decimal(text):
    cleaned = text.strip().replace('$', '').replace(',', '')
    try:
        return decimal.Decimal(cleaned)
    except decimal.InvalidOperation as error:
        raise TypeError_('not a number: %r' % text) from error


def _bytes(text):
    if text.startswith('\\x'):
        return bytes.fromhex(text[2:])
    return text.encode('utf-8')


_TIME = re.compile(r'(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,9}))?)?')
_DATE = re.compile(r'\s*(\d{4,})-(\d{2})-(\d{2})')
# What follows the date: a time and an offset, each optional ("10:14:15.5+00", " 10:14 +03:00").
_AFTER_DATE = re.compile(r'(?:[ T]+(\d{1,2}:\d{2}(?::\d{2}(?:\.\d{1,9})?)?))?\s*(?:([+-])(\d{1,2})(?::?(\d{2}))?)?\s*')


def _time_ticks(text):
    """'HH:MM[:SS[.fffffff]]' as 100-nanosecond ticks since midnight (digits past the 7th rounded)."""
    match = _TIME.fullmatch(text.strip())
    if not match:
        raise TypeError_('not a time: %r' % text)
    hour, minute, second = int(match.group(1)), int(match.group(2)), int(match.group(3) or 0)
    fraction = match.group(4) or ''
    ticks = round(int(fraction.ljust(9, '0')[:9]) / 100) if fraction else 0
    return ((hour * 60 + minute) * 60 + second) * TICKS_PER_SECOND + ticks


def _split_date_time(text):
    """PostgreSQL's 'YYYY-MM-DD[ HH:MM:SS.ffffff][+HH[:MM]]': the date, ticks and offset minutes
    (None when the text has no offset)."""
    date_match = _DATE.match(text)
    rest = _AFTER_DATE.fullmatch(text, date_match.end()) if date_match else None
    if not rest:
        raise TypeError_('not a date and time: %r' % text)
    date = datetime.date(int(date_match.group(1)), int(date_match.group(2)), int(date_match.group(3)))
    ticks = _time_ticks(rest.group(1)) if rest.group(1) else 0
    offset = None
    if rest.group(2):
        offset = (-1 if rest.group(2) == '-' else 1) * (int(rest.group(3)) * 60 + int(rest.group(4) or 0))
    return date, ticks, offset


def _scaled(ticks, scale):
    return (ticks + 10 ** (7 - scale) // 2) // 10 ** (7 - scale) if scale < 7 else ticks


def _time_bytes(ticks, scale):
    size = 3 if scale <= 2 else 4 if scale <= 4 else 5
    return _scaled(ticks, scale).to_bytes(size, 'little')


def _date_bytes(date):
    return (date.toordinal() - 1).to_bytes(3, 'little')


def _carry_day(date, ticks, scale):
    """A time that rounds up to midnight moves to the next day."""
    day = 86400 * TICKS_PER_SECOND
    scaled = _scaled(ticks, scale) * 10 ** (7 - scale)
    if scaled >= day:
        return date + datetime.timedelta(days=1), 0
    return date, ticks


def _decimal_bytes(value, precision, scale):
    scaled = int((value * (decimal.Decimal(10) ** scale)).to_integral_value(rounding=decimal.ROUND_HALF_UP))
    if abs(scaled) >= 10 ** precision:
        raise TypeError_('%s does not fit decimal(%d,%d)' % (value, precision, scale))
    size = 4 if precision <= 9 else 8 if precision <= 19 else 12 if precision <= 28 else 16
    return bytes([1 if scaled >= 0 else 0]) + abs(scaled).to_bytes(size, 'little')


def _money_bytes(value, small):
    units = int((value * 10000).to_integral_value(rounding=decimal.ROUND_HALF_UP))
    if small:
        return struct.pack('<i', units)
    return struct.pack('<iI', units >> 32, units & 0xFFFFFFFF)


def _datetime_bytes(date, ticks):
    days = (date - BASE_DATE).days
    three_hundredths = round(ticks * 300 / TICKS_PER_SECOND)
    if three_hundredths >= 86400 * 300:
        days, three_hundredths = days + 1, 0
    return struct.pack('<iI', days, three_hundredths)


def _smalldatetime_bytes(date, ticks):
    minutes = round(ticks / (60 * TICKS_PER_SECOND))
    days = (date - BASE_DATE).days
    if minutes >= 1440:
        days, minutes = days + 1, 0
    return struct.pack('<HH', days, minutes)


def _plp(data):
    if data is None:
        return struct.pack('<Q', PLP_NULL)
    out = [struct.pack('<Q', len(data))]
    for start in range(0, len(data), PLP_CHUNK):
        chunk = data[start:start + PLP_CHUNK]
        out.append(struct.pack('<I', len(chunk)) + chunk)
    out.append(struct.pack('<I', 0))
    return b''.join(out)


class SqlType:
    """One SQL Server column type: its name, its TYPE_INFO and the encoding of a value."""

    def __init__(self, name, token, info, encode, variant_props=None, null_value=b'\x00', plp=False):
        self.name = name
        self.token = token
        self.info = info
        self._encode = encode
        self.variant_props = variant_props
        self.null_value = null_value
        self.plp = plp

    def type_info(self):
        return bytes([self.token]) + self.info

    def value(self, text):
        """The cell as a ROW carries it, NULL included."""
        if text is None:
            return self.null_value
        return self._encode(text)

    def variant_instance(self, text):
        """The value inside a sql_variant: base type, its properties and the bare data."""
        if self.variant_props is None:
            raise TypeError_('%s cannot be held by a sql_variant' % self.name)
        token, props, bare = self.variant_props(text)
        return bytes([token, len(props)]) + props + bare


def _length_prefixed(encode):
    return lambda text: (lambda data: bytes([len(data)]) + data)(encode(text))


def _ushort_prefixed(encode):
    return lambda text: (lambda data: struct.pack('<H', len(data)) + data)(encode(text))


def _int_type(name, size, fixed_token):
    fmt = {1: '<B', 2: '<h', 4: '<i', 8: '<q'}[size]
    encode = lambda text: struct.pack(fmt, _int(text))
    return SqlType(name, 0x26, bytes([size]), _length_prefixed(encode),
                   variant_props=lambda text: (fixed_token, b'', encode(text)))


def _narrow(text, length, fixed):
    data = text.encode(NARROW_ENCODING, errors='replace')
    if length is not MAX:
        data = data[:length]
        if fixed:
            data = data.ljust(length, b' ')
    return data


def _wide(text, length, fixed):
    if length is not MAX:
        text = text[:length]
        if fixed:
            text = text.ljust(length)
    return text.encode('utf-16-le')


def _binary(text, length, fixed):
    data = _bytes(text)
    if length is not MAX:
        data = data[:length]
        if fixed:
            data = data.ljust(length, b'\x00')
    return data


def _text_type(name, length, fixed, wide):
    token = (0xEF if fixed else 0xE7) if wide else (0xAF if fixed else 0xA7)
    convert = _wide if wide else _narrow
    max_bytes = 0xFFFF if length is MAX else length * (2 if wide else 1)
    info = struct.pack('<H', max_bytes) + COLLATION
    if length is MAX:
        return SqlType(name, token, info, lambda text: _plp(convert(text, MAX, False)),
                       null_value=_plp(None), plp=True,
                       variant_props=lambda text: (token, COLLATION + struct.pack('<H', 8000), convert(text, 4000, False)))
    encode = lambda text: convert(text, length, fixed)
    return SqlType(name, token, info, _ushort_prefixed(encode), null_value=struct.pack('<H', CHARBIN_NULL),
                   variant_props=lambda text: (token, COLLATION + struct.pack('<H', max_bytes), encode(text)))


def _binary_type(name, length, fixed):
    token = 0xAD if fixed else 0xA5
    if length is MAX:
        return SqlType(name, token, struct.pack('<H', 0xFFFF), lambda text: _plp(_binary(text, MAX, False)),
                       null_value=_plp(None), plp=True)
    encode = lambda text: _binary(text, length, fixed)
    return SqlType(name, token, struct.pack('<H', length), _ushort_prefixed(encode),
                   null_value=struct.pack('<H', CHARBIN_NULL),
                   variant_props=lambda text: (token, struct.pack('<H', length), encode(text)))


def _decimal_type(name, precision, scale):
    size = 5 if precision <= 9 else 9 if precision <= 19 else 13 if precision <= 28 else 17
    encode = lambda text: _decimal_bytes(_decimal(text), precision, scale)
    token = 0x6C if name.startswith('numeric') else 0x6A
    return SqlType(name, token, bytes([size, precision, scale]), _length_prefixed(encode),
                   variant_props=lambda text: (token, bytes([precision, scale]), encode(text)))


def _float_type(name, size):
    encode = lambda text: struct.pack('<f' if size == 4 else '<d', float(text))
    return SqlType(name, 0x6D, bytes([size]), _length_prefixed(encode),
                   variant_props=lambda text: (0x3B if size == 4 else 0x3E, b'', encode(text)))


def _money_type(name, small):
    encode = lambda text: _money_bytes(_decimal(text), small)
    return SqlType(name, 0x6E, bytes([4 if small else 8]), _length_prefixed(encode),
                   variant_props=lambda text: (0x7A if small else 0x3C, b'', encode(text)))


def _legacy_datetime_type(name, small):
    def encode(text):
        date, ticks, _ = _split_date_time(text)
        return _smalldatetime_bytes(date, ticks) if small else _datetime_bytes(date, ticks)
    return SqlType(name, 0x6F, bytes([4 if small else 8]), _length_prefixed(encode),
                   variant_props=lambda text: (0x3A if small else 0x3D, b'', encode(text)))


def _date_type():
    encode = lambda text: _date_bytes(_split_date_time(text)[0])
    return SqlType('date', 0x28, b'', _length_prefixed(encode), variant_props=lambda text: (0x28, b'', encode(text)))


def _time_type(scale):
    encode = lambda text: _time_bytes(min(_time_ticks(text), 86400 * TICKS_PER_SECOND - 1), scale)
    return SqlType('time(%d)' % scale, 0x29, bytes([scale]), _length_prefixed(encode),
                   variant_props=lambda text: (0x29, bytes([scale]), encode(text)))


def _datetime2_type(scale):
    def encode(text):
        date, ticks, _ = _split_date_time(text)
        date, ticks = _carry_day(date, ticks, scale)
        return _time_bytes(ticks, scale) + _date_bytes(date)
    return SqlType('datetime2(%d)' % scale, 0x2A, bytes([scale]), _length_prefixed(encode),
                   variant_props=lambda text: (0x2A, bytes([scale]), encode(text)))


def _datetimeoffset_type(scale):
    def encode(text):
        date, ticks, offset = _split_date_time(text)
        offset = offset or 0
        # Sent as the UTC instant and the offset it was written in.
        utc = datetime.datetime.combine(date, datetime.time()) + datetime.timedelta(
            microseconds=ticks // 10, minutes=-offset)
        utc_ticks = (utc.hour * 3600 + utc.minute * 60 + utc.second) * TICKS_PER_SECOND + utc.microsecond * 10 + ticks % 10
        day, utc_ticks = _carry_day(utc.date(), utc_ticks, scale)
        return _time_bytes(utc_ticks, scale) + _date_bytes(day) + struct.pack('<h', offset)
    return SqlType('datetimeoffset(%d)' % scale, 0x2B, bytes([scale]), _length_prefixed(encode),
                   variant_props=lambda text: (0x2B, bytes([scale]), encode(text)))


def _guid_type():
    encode = lambda text: uuid.UUID(text.strip().strip('{}')).bytes_le
    return SqlType('uniqueidentifier', 0x24, bytes([16]), _length_prefixed(encode),
                   variant_props=lambda text: (0x24, b'', encode(text)))


def _bit_type():
    encode = lambda text: bytes([_bool(text)])
    return SqlType('bit', 0x68, bytes([1]), _length_prefixed(encode), variant_props=lambda text: (0x32, b'', encode(text)))


def _xml_type():
    return SqlType('xml', 0xF1, b'\x00', lambda text: _plp(text.encode('utf-16-le')), null_value=_plp(None), plp=True)


def variant_type(base):
    """A sql_variant column whose values are of type base."""
    def encode(text):
        instance = base.variant_instance(text)
        return struct.pack('<I', len(instance)) + instance
    return SqlType('sql_variant', 0x62, struct.pack('<I', 8009), encode, null_value=struct.pack('<I', 0))


_NAMED = re.compile(r'\s*([a-z0-9_]+)\s*(?:\(\s*(max|\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*$', re.IGNORECASE)


def named_type(written, source=None):
    """The type that a column alias names after its last ':', e.g. 'decimal(9,2)' or 'varchar(max)'.
    A sql_variant takes its base type from the PostgreSQL column (source) or from its argument,
    e.g. 'sql_variant(int)'."""
    variant = re.fullmatch(r'\s*sql_variant\s*(?:\((.+)\))?\s*', written, re.IGNORECASE)
    if variant:
        base = named_type(variant.group(1)) if variant.group(1) else source
        if base is None:
            raise TypeError_('sql_variant needs a base type')
        if base.plp:
            base = named_type(base.name.replace('(max)', '(4000)'))
        return variant_type(base)
    match = _NAMED.fullmatch(written)
    if not match:
        raise TypeError_('unknown type %r' % written)
    name = match.group(1).lower()
    length = match.group(2)
    size = MAX if length and length.lower() == 'max' else int(length) if length else None
    scale = int(match.group(3)) if match.group(3) else None
    simple = {
        'tinyint': lambda: _int_type('tinyint', 1, 0x30),
        'smallint': lambda: _int_type('smallint', 2, 0x34),
        'int': lambda: _int_type('int', 4, 0x38),
        'bigint': lambda: _int_type('bigint', 8, 0x7F),
        'bit': _bit_type,
        'float': lambda: _float_type('float', 8),
        'real': lambda: _float_type('real', 4),
        'money': lambda: _money_type('money', False),
        'smallmoney': lambda: _money_type('smallmoney', True),
        'datetime': lambda: _legacy_datetime_type('datetime', False),
        'smalldatetime': lambda: _legacy_datetime_type('smalldatetime', True),
        'date': _date_type,
        'uniqueidentifier': _guid_type,
        'xml': _xml_type,
    }
    if name in simple:
        return simple[name]()
    if size is MAX and name not in ('varchar', 'nvarchar', 'varbinary'):
        raise TypeError_('%s has no (max) form' % name)
    if name in ('decimal', 'numeric'):
        precision = size if size else 18
        return _decimal_type('%s(%d,%d)' % (name, precision, scale or 0), precision, scale or 0)
    if name in ('time', 'datetime2', 'datetimeoffset'):
        fraction = 7 if size is None else size
        if not 0 <= fraction <= 7:
            raise TypeError_('scale %d out of range' % fraction)
        return {'time': _time_type, 'datetime2': _datetime2_type, 'datetimeoffset': _datetimeoffset_type}[name](fraction)
    if name in ('char', 'varchar', 'nchar', 'nvarchar'):
        length_value = 1 if size is None else size
        shown = 'max' if length_value is MAX else str(length_value)
        return _text_type('%s(%s)' % (name, shown), length_value, fixed=name in ('char', 'nchar'),
                          wide=name.startswith('n'))
    if name in ('binary', 'varbinary'):
        length_value = 1 if size is None else size
        shown = 'max' if length_value is MAX else str(length_value)
        return _binary_type('%s(%s)' % (name, shown), length_value, fixed=name == 'binary')
    raise TypeError_('unknown type %r' % written)


# PostgreSQL type oids and the SQL Server type a column of that type is sent as.
def type_of_postgres(oid, internal_size, precision, scale, values):
    if oid == 16:
        return named_type('bit')
    if oid == 21:
        return named_type('smallint')
    if oid == 23:
        return named_type('int')
    if oid in (20, 26):
        return named_type('bigint')
    if oid == 700:
        return named_type('real')
    if oid == 701:
        return named_type('float')
    if oid == 790:
        return named_type('money')
    if oid == 1700:
        if precision and precision > 0:
            return named_type('decimal(%d,%d)' % (min(precision, 38), scale or 0))
        # No declared scale: the widest of the values, as a literal's type would be.
        widest = 0
        for value in values:
            if value is not None and '.' in value:
                widest = max(widest, len(value.split('.', 1)[1]))
        return named_type('decimal(38,%d)' % min(widest, 38))
    if oid == 1043:
        return named_type('nvarchar(%s)' % (internal_size if internal_size and 0 < internal_size <= 4000 else 'max'))
    if oid == 1042:
        return named_type('nchar(%d)' % (internal_size if internal_size and 0 < internal_size <= 4000 else 1))
    if oid == 19:
        return named_type('nvarchar(128)')
    if oid == 1082:
        return named_type('date')
    if oid == 1083:
        return named_type('time(7)')
    if oid == 1114:
        return named_type('datetime2(7)')
    if oid == 1184:
        return named_type('datetimeoffset(7)')
    if oid == 2950:
        return named_type('uniqueidentifier')
    if oid == 17:
        return named_type('varbinary(max)')
    if oid == 142:
        return named_type('xml')
    return named_type('nvarchar(max)')
