"""One client of the TDS stand-in: PRELOGIN (with or without TLS), LOGIN7 checked against PostgreSQL's
own logins, then SQL batches run on a PostgreSQL session of its own, each reply sent as SQL Server
sends it. ATTENTION cancels what runs and is answered with DONE_ATTN; kill from another session ends
this one.

Part of the TDS stand-in, a test fixture: nothing here is used by the program itself.
"""

import datetime
import os
import threading
import time

import psycopg2
import psycopg2.extensions

import tds_commands as commands
import tds_tokens as tokens
from tds_types import COLLATION, TypeError_, named_type, type_of_postgres
from tds_wire import Closed, Wire

# A batch that begins with this comment is answered with its result cut off in the middle of the
# first row, and the connection closed: a server that fails while it sends.
CUT_MID_ROW = '-- tds-standin: cut mid-row'


def backend_cpu_ms(pid):
    """The processor time a PostgreSQL backend of this machine has used so far, in milliseconds; None
    where /proc cannot tell."""
    try:
        with open('/proc/%d/stat' % pid, encoding='ascii') as stat:
            # After the command's name in parentheses, utime and stime are the 12th and 13th fields.
            fields = stat.read().rsplit(')', 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 // os.sysconf('SC_CLK_TCK')
    except (OSError, ValueError, IndexError):
        return None


class Cancelled(Exception):
    """The client's ATTENTION, or a kill, stopped the batch."""


class Reply:
    """The tokens of one reply, sent in packets as they are made."""

    def __init__(self, session):
        self._session = session
        self._buffer = bytearray()

    def add(self, token):
        self._buffer += token
        room = self._session.wire.packet_size - 8
        if len(self._buffer) > room:
            whole = len(self._buffer) // room * room
            if whole == len(self._buffer):
                whole -= room
            self._session.wire.send_packets(self._session.wire.packets(tokens.TABULAR_RESULT, bytes(self._buffer[:whole]), last=False))
            del self._buffer[:whole]

    def cut(self, row):
        """Sends what is buffered and half of row, in a packet that claims the whole row, and gives up."""
        packet = self._session.wire.packets(tokens.TABULAR_RESULT, bytes(self._buffer) + row, last=False)
        self._session.wire.send_raw_bytes(packet[:len(packet) - len(row) // 2])
        raise Closed('cut mid-row')

    def finish(self):
        self._session.wire.send_packets(self._session.wire.packets(tokens.TABULAR_RESULT, bytes(self._buffer)))
        self._buffer.clear()


class Session:
    def __init__(self, server, sock):
        self.server = server
        self.wire = Wire(sock)
        self.spid = 0
        self.login = None
        self.database = ''
        self.pg = None
        self.tds_version = tokens.TDS_74
        self._lock = threading.Lock()
        self._running = False
        self._waiting = False
        self._batch = None
        self._last_batch = datetime.datetime.now()
        self._cpu = 0
        self._backend = None
        self._backend_cpu_start = None
        self._io = 0
        self._waited = 0.0
        self._cancel = threading.Event()
        self._killed = False

    # What other sessions read ------------------------------------------------------------------

    def snapshot(self):
        cpu = self._cpu_ms()
        with self._lock:
            return {'login': self.login.user, 'host': self.login.host, 'program': self.login.application,
                    'database': self.database, 'running': self._running, 'waiting': self._waiting,
                    'batch': self._batch, 'last_batch': self._last_batch, 'cpu': cpu, 'io': self._io}

    def _cpu_ms(self):
        """sp_who2's CPUTime: the work of the session's PostgreSQL backend, growing while a statement
        runs, as SQL Server's does; where /proc cannot tell, the time its finished batches ran."""
        used = backend_cpu_ms(self._backend) if self._backend is not None else None
        if used is None or self._backend_cpu_start is None:
            with self._lock:
                return self._cpu
        return used - self._backend_cpu_start

    def kill(self):
        """Ends the session from another one, as kill does: what runs stops and the connection closes."""
        self._killed = True
        self._cancel.set()
        self._cancel_postgres()
        self.wire.close()

    def _cancel_postgres(self):
        if self.pg is not None:
            try:
                self.pg.cancel()
            except psycopg2.Error:
                pass

    # The connection's life ---------------------------------------------------------------------

    def serve(self):
        try:
            if self._log_on():
                self._serve_batches()
        except Closed:
            pass
        finally:
            self.server.forget(self)
            if self.pg is not None:
                self.pg.close()
            self.wire.close()

    def _log_on(self):
        kind, payload = self.wire.read_message()
        if kind != tokens.PRELOGIN:
            return False
        wanted = tokens.parse_prelogin(payload).get(tokens.PL_ENCRYPTION, bytes([tokens.ENCRYPT_NOT_SUP]))[0]
        if self.server.tls is None:
            answer = tokens.ENCRYPT_NOT_SUP
        elif wanted in (tokens.ENCRYPT_ON, tokens.ENCRYPT_REQ):
            answer = tokens.ENCRYPT_ON
        else:
            answer = wanted
        self.wire.send_message(tokens.TABULAR_RESULT, tokens.prelogin_reply(answer))
        if answer == tokens.ENCRYPT_NOT_SUP and wanted in (tokens.ENCRYPT_ON, tokens.ENCRYPT_REQ):
            return False
        if answer in (tokens.ENCRYPT_OFF, tokens.ENCRYPT_ON):
            self.wire.start_tls(self.server.tls)
        kind, payload = self.wire.read_message()
        if answer == tokens.ENCRYPT_OFF:
            self.wire.stop_tls()
        if kind != tokens.LOGIN7:
            return False
        self.login = tokens.Login(payload)
        self.tds_version = min(self.login.tds_version, tokens.TDS_74)
        self.database = self.login.database or self.server.database
        refusal = self._connect_postgres()
        if refusal:
            self.wire.send_message(tokens.TABULAR_RESULT, refusal + tokens.done(tokens.DONE_ERROR))
            return False
        self.server.register(self)
        self.wire.spid = self.spid
        self.wire.packet_size = max(512, min(self.login.packet_size or 4096, 32767))
        reply = [tokens.envchange(1, self.database, 'master'),
                 tokens.info(5701, "Changed database context to '%s'." % self.database, state=2),
                 tokens.envchange(7, COLLATION, b''),
                 tokens.envchange(2, 'us_english', ''),
                 tokens.info(5703, 'Changed language setting to us_english.'),
                 tokens.loginack(self.tds_version)]
        if self.login.wants_features and self.tds_version >= tokens.TDS_74:
            reply.append(tokens.featureextack())
        reply += [tokens.envchange(4, str(self.wire.packet_size), '4096'), tokens.done()]
        self.wire.send_message(tokens.TABULAR_RESULT, b''.join(reply))
        return True

    def _connect_postgres(self):
        """The tokens that refuse the login, or None once connected."""
        if self.login.integrated:
            return tokens.error(18452, 'Login failed. The login is from an untrusted domain and cannot be used with '
                                'Integrated authentication.', severity=14)
        try:
            self.pg = psycopg2.connect(host=self.server.pg_host, port=self.server.pg_port, dbname=self.database,
                                       user=self.login.user, password=self.login.password, connect_timeout=10,
                                       application_name='tds-standin',
                                       options='-c TimeZone=UTC -c DateStyle=ISO,YMD -c lc_monetary=C')
        except psycopg2.OperationalError as error:
            failed = tokens.error(18456, "Login failed for user '%s'." % self.login.user, severity=14)
            if 'database "%s" does not exist' % self.database in str(error):
                return tokens.error(4060, 'Cannot open database "%s" requested by the login. The login failed.'
                                    % self.database, severity=11) + failed
            return failed
        self.pg.autocommit = True
        self._backend = self.pg.get_backend_pid()
        self._backend_cpu_start = backend_cpu_ms(self._backend)
        text = psycopg2.extensions.new_type(self.server.text_oids(self.pg), 'TDS_STANDIN_TEXT', lambda value, cursor: value)
        psycopg2.extensions.register_type(text, self.pg)
        return None

    def _serve_batches(self):
        while True:
            kind, payload = self.wire.read_message()
            if kind == tokens.ATTENTION:
                # Nothing runs: the acknowledgement alone.
                self.wire.send_message(tokens.TABULAR_RESULT, tokens.done(tokens.DONE_ATTN))
            elif kind == tokens.SQL_BATCH:
                self._run(tokens.batch_text(payload))
            else:
                self.wire.send_message(tokens.TABULAR_RESULT, tokens.error(
                    50000, 'The TDS stand-in answers SQL batches only, not messages of type 0x%02x.' % kind)
                    + tokens.done(tokens.DONE_ERROR))

    # One batch -------------------------------------------------------------------------------------

    def _run(self, text):
        with self._lock:
            self._running = True
            self._batch = text
            self._last_batch = datetime.datetime.now()
        self._cancel.clear()
        started = time.monotonic()
        self._waited = 0.0
        outcome = {}

        def work():
            try:
                outcome['reply'] = self._execute(text)
            except Cancelled:
                outcome['cancelled'] = True
            except Exception as error:    # noqa: BLE001 - any failure becomes the batch's error
                outcome['error'] = error

        worker = threading.Thread(target=work, daemon=True)
        worker.start()
        attention = False
        try:
            while worker.is_alive():
                if self.wire.packet_waiting(0.05):
                    kind, _, _ = self.wire.read_packet()
                    if kind == tokens.ATTENTION:
                        attention = True
                        self._cancel.set()
                        self._cancel_postgres()
                        worker.join()
        except Closed:
            # The client went away while the batch ran: it runs no further.
            self._cancel.set()
            self._cancel_postgres()
            worker.join()
            raise
        with self._lock:
            self._running = False
            self._waiting = False
            # A waitfor costs the server no processor time.
            self._cpu += int((time.monotonic() - started - self._waited) * 1000)
        if self._killed:
            raise Closed('killed')
        if attention:
            self.wire.send_message(tokens.TABULAR_RESULT, tokens.done(tokens.DONE_ATTN))
            return
        if 'error' in outcome:
            error = outcome['error']
            if isinstance(error, psycopg2.OperationalError) and self.pg.closed:
                self.wire.send_message(tokens.TABULAR_RESULT, tokens.error(
                    596, 'Cannot continue the execution because the session is in the kill state.', severity=21)
                    + tokens.done(tokens.DONE_ERROR))
                raise Closed('the PostgreSQL session ended')
            self.wire.send_message(tokens.TABULAR_RESULT, error_token(error) + tokens.done(tokens.DONE_ERROR))
            return
        self._send(outcome['reply'])

    def _send(self, reply):
        """Sends the reply's tokens, watching for an ATTENTION between rows."""
        out = Reply(self)
        for index, token in enumerate(reply):
            if isinstance(token, CutMidRow):
                out.cut(token.data)
            if index % 64 == 63 and self.wire.packet_waiting(0):
                kind, _, _ = self.wire.read_packet()
                if kind == tokens.ATTENTION:
                    out.add(tokens.done(tokens.DONE_ATTN))
                    out.finish()
                    return
            out.add(token)
        out.finish()

    def _execute(self, text):
        """The reply's tokens for a batch."""
        cut = text.lstrip().startswith(CUT_MID_ROW)
        waited = commands.WAITFOR.match(text)
        if waited:
            self._wait(commands.waitfor_seconds(waited))
            rest = text[waited.end():]
            if commands.ONLY_COMMENTS.fullmatch(rest):
                return [tokens.done()]
            return [tokens.done(tokens.DONE_MORE)] + self._execute(rest)
        if commands.ONLY_COMMENTS.fullmatch(text) or commands.SESSION_OPTION.fullmatch(text):
            return [tokens.done()]
        who = commands.SP_WHO2.fullmatch(text)
        if who:
            columns, rows = commands.sp_who2(self, self.server.sessions(), self._blockers(), self.server.started,
                                            bool(who.group(1)))
            return result_tokens(columns, rows, self.nbc_rows)
        cost = commands.SESSION_COST.fullmatch(text)
        if cost:
            spid = self.spid if cost.group(1).startswith('@') else int(cost.group(1))
            columns, rows = commands.session_cost(self.server.session(spid))
            return result_tokens(columns, rows, self.nbc_rows)
        killed = commands.KILL.fullmatch(text)
        if killed:
            return self._kill(int(killed.group(1)))
        buffer = commands.INPUTBUFFER.fullmatch(text)
        if buffer:
            spid = int(buffer.group(1))
            target = self.server.session(spid)
            if target is None and spid not in dict(commands.SYSTEM_TASKS):
                return [tokens.error(7940, 'Invalid SPID %d specified.' % spid), tokens.done(tokens.DONE_ERROR)]
            columns, rows = commands.inputbuffer(target)
            body = result_tokens(columns, rows, self.nbc_rows)
            return body[:-1] + [tokens.info(2528, commands.DBCC_DONE), body[-1]]
        return self._postgres(commands.with_globals(text, self), cut)

    @property
    def nbc_rows(self):
        return self.tds_version >= tokens.TDS_73B

    def _wait(self, seconds):
        with self._lock:
            self._waiting = True
        started = time.monotonic()
        try:
            if self._cancel.wait(seconds):
                raise Cancelled()
        finally:
            with self._lock:
                self._waiting = False
                self._waited += time.monotonic() - started

    def _kill(self, spid):
        if spid == self.spid:
            return [tokens.error(6104, 'Cannot use KILL to kill your own process.'), tokens.done(tokens.DONE_ERROR)]
        if spid in dict(commands.SYSTEM_TASKS):
            return [tokens.error(6107, 'Only user processes can be killed.', severity=14),
                    tokens.done(tokens.DONE_ERROR)]
        target = self.server.session(spid)
        if target is None:
            return [tokens.error(6106, 'Process ID %d is not an active process ID.' % spid, severity=11),
                    tokens.done(tokens.DONE_ERROR)]
        target.kill()
        return [tokens.done()]

    def _blockers(self):
        """Which session waits for a lock held by which, as PostgreSQL knows it."""
        sessions = {session.backend: session.spid for session in self.server.sessions() if session.backend}
        try:
            with self.pg.cursor() as cursor:
                cursor.execute('select pid, pg_blocking_pids(pid) from pg_stat_activity where pid = any(%s)',
                               (list(sessions),))
                found = cursor.fetchall()
        except psycopg2.Error:
            return {}
        blockers = {}
        for pid, blocking in found:
            holders = [sessions[int(p)] for p in blocking.strip('{}').split(',') if p and int(p) in sessions]
            if holders:
                blockers[sessions[int(pid)]] = holders[0]
        return blockers

    @property
    def backend(self):
        try:
            return self.pg.get_backend_pid() if self.pg is not None and not self.pg.closed else 0
        except psycopg2.Error:
            return 0

    def _postgres(self, sql, cut):
        try:
            with self.pg.cursor() as cursor:
                cursor.execute(sql)
                if self._cancel.is_set():
                    raise Cancelled()
                if cursor.description is None:
                    count = cursor.rowcount
                    return [tokens.done(tokens.DONE_COUNT, count) if count >= 0 else tokens.done()]
                rows = cursor.fetchall()
                description = cursor.description
        except psycopg2.extensions.QueryCanceledError as error:
            if self._cancel.is_set():
                raise Cancelled() from error
            raise
        with self._lock:
            self._io += len(rows)
        columns = []
        for index, column in enumerate(description):
            values = [row[index] for row in rows]
            source = type_of_postgres(column.type_code, column.internal_size, column.precision, column.scale, values)
            columns.append(named_column(column.name, source))
        body = result_tokens(columns, rows, self.nbc_rows)
        if cut and rows:
            return [body[0], CutMidRow(body[1])]
        return body


class CutMidRow:
    """A row token that is sent only in part, after which the connection is closed."""

    def __init__(self, data):
        self.data = data


def named_column(name, source):
    """A column alias 'label:type' names the SQL Server type its values are sent as. A column that
    PostgreSQL names "?column?" has no name, as an unnamed SQL Server column has none."""
    if name == '?column?':
        return '', source
    if ':' in name:
        label, written = name.rsplit(':', 1)
        try:
            return label, named_type(written, source)
        except TypeError_:
            pass
    return name, source


def result_tokens(columns, rows, nbc_rows):
    types = [sql_type for _, sql_type in columns]
    body = [tokens.colmetadata(columns)]
    body += [tokens.row(types, list(row), nbc_rows) for row in rows]
    body.append(tokens.done(tokens.DONE_COUNT, len(rows), tokens.CMD_SELECT))
    return body


# PostgreSQL's errors as the SQL Server errors a client expects for the same fault.
_SQLSTATE_NUMBERS = {'42P01': 208, '42703': 207, '42601': 102, '42883': 195, '22012': 8134, '42501': 229,
                     '57014': 3617}


def error_token(error):
    if isinstance(error, psycopg2.Error):
        text = (error.pgerror or str(error)).strip()
        if text.startswith('ERROR:'):
            text = text[len('ERROR:'):].strip()
        text = text.splitlines()[0] if text else 'PostgreSQL error'
        return tokens.error(_SQLSTATE_NUMBERS.get(error.pgcode, 50000), text)
    return tokens.error(50000, 'The TDS stand-in could not send the result: %s' % error)
