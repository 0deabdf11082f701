"""The commands a monitor sends that PostgreSQL has no counterpart for, answered as SQL Server
answers them from the stand-in's own live sessions: sp_who2, kill, dbcc inputbuffer, waitfor delay,
a session's cpu_time and reads from sys.dm_exec_sessions, the session options of SET, and @@spid,
@@version and @@servername in a statement.

Part of the TDS stand-in, a test fixture: nothing here is used by the program itself.
"""

import re

import tds_tokens as tokens
from tds_types import named_type

SP_WHO2 = re.compile(r"\s*(?:exec(?:ute)?\s+)?(?:(?:master\.)?(?:dbo|sys)\.)?sp_who2\s*(?:'?(active)'?)?\s*;?\s*", re.I)
KILL = re.compile(r'\s*kill\s+(\d+)\s*;?\s*', re.I)
INPUTBUFFER = re.compile(r'\s*dbcc\s+inputbuffer\s*\(\s*(\d+)\s*(?:,\s*\d+\s*)?\)\s*(?:with\s+no_infomsgs\s*)?;?\s*', re.I)
WAITFOR = re.compile(r"\s*waitfor\s+delay\s+'(\d{1,2}):(\d{2})(?::(\d{2})(?:\.(\d{1,3}))?)?'\s*;?", re.I)
SESSION_OPTION = re.compile(
    r'\s*set\s+(?:textsize|nocount|ansi_\w+|quoted_identifier|arithabort|arithignore|concat_null_yields_null|language'
    r'|dateformat|datefirst|lock_timeout|transaction\s+isolation\s+level|xact_abort|implicit_transactions'
    r'|cursor_close_on_commit|numeric_roundabort|deadlock_priority|rowcount|fmtonly|noexec|statistics\s+\w+)\b[^;]*;?\s*',
    re.I)
SESSION_COST = re.compile(
    r'\s*select\s+cpu_time\s*,\s*reads\s+from\s+(?:master\.)?sys\.dm_exec_sessions\s+where\s+session_id\s*=\s*'
    r'(@@spid|\d+)\s*;?\s*', re.I)
ONLY_COMMENTS = re.compile(r'\s*(?:(?:--[^\n]*\n?|/\*.*?\*/)\s*)*', re.S)

# Sessions of the server itself, as SQL Server lists its system tasks.
SYSTEM_TASKS = [(1, 'LOG WRITER'), (2, 'RECOVERY WRITER'), (3, 'LAZY WRITER'), (4, 'SIGNAL HANDLER'),
                (5, 'LOCK MONITOR'), (6, 'TASK MANAGER'), (7, 'CHECKPOINT')]


def waitfor_seconds(match):
    hours, minutes = int(match.group(1)), int(match.group(2))
    seconds = int(match.group(3) or 0)
    millis = int((match.group(4) or '0').ljust(3, '0'))
    return hours * 3600 + minutes * 60 + seconds + millis / 1000


def with_globals(sql, session):
    """@@spid, @@version and @@servername as literals PostgreSQL reads."""
    sql = re.sub(r'@@spid\b', str(session.spid), sql, flags=re.I)
    sql = re.sub(r'@@servername\b', "'%s'" % tokens.SERVER_NAME, sql, flags=re.I)
    return re.sub(r'@@version\b', "'Microsoft SQL Server 2019 - TDS stand-in for tests, on PostgreSQL'", sql, flags=re.I)


_KEYWORD = re.compile(r'\s*(?:(?:--[^\n]*\n|/\*.*?\*/)\s*)*([a-z]+)', re.I | re.S)
_COMMANDS = {'select', 'insert', 'update', 'delete', 'merge', 'create', 'alter', 'drop', 'truncate', 'exec', 'execute',
             'begin', 'commit', 'rollback', 'dbcc', 'kill'}


def running_command(batch):
    """What sp_who2 calls a statement that runs: its first keyword, as SQL Server names it."""
    match = _KEYWORD.match(batch or '')
    keyword = match.group(1).lower() if match else ''
    if keyword in ('exec', 'execute'):
        return 'EXECUTE'
    if keyword in ('begin', 'commit', 'rollback'):
        return keyword.upper() + ' TRANSACTION'
    return keyword.upper() if keyword in _COMMANDS else 'SELECT'


def _column_width(title, values):
    return max([len(title)] + [len(value) for value in values if value is not None])


def sp_who2(caller, sessions, blockers, started, active_only):
    """sp_who2's thirteen columns, typed as SQL Server types them."""
    rows = []
    for spid, command in SYSTEM_TASKS:
        rows.append([str(spid).ljust(5), 'BACKGROUND', 'sa', '  .', '  .', 'master', command, '0', '0',
                     started.strftime('%m/%d %H:%M:%S'), '', str(spid).ljust(5), '0'])
    for session in sessions:
        state = session.snapshot()
        if session is caller:
            status, command = 'RUNNABLE', 'SELECT INTO'
        elif state['waiting']:
            status, command = 'SUSPENDED', 'WAITFOR'
        elif state['running']:
            # A statement that waits for another session's lock is suspended.
            status = 'SUSPENDED' if session.spid in blockers else 'RUNNABLE'
            command = running_command(state['batch'])
        else:
            status, command = 'sleeping', 'AWAITING COMMAND'
        if active_only and status == 'sleeping':
            continue
        blocker = blockers.get(session.spid)
        rows.append([str(session.spid).ljust(5), status, state['login'], state['host'],
                     str(blocker).ljust(5) if blocker else '  .', state['database'], command, str(state['cpu']),
                     str(state['io']), state['last_batch'].strftime('%m/%d %H:%M:%S'), state['program'],
                     str(session.spid).ljust(5), '0'])
    titles = ['SPID', 'Status', 'Login', 'HostName', 'BlkBy', 'DBName', 'Command', 'CPUTime', 'DiskIO', 'LastBatch',
              'ProgramName', 'SPID', 'REQUESTID']
    kinds = ['char(5)', 'nvarchar', 'nvarchar', 'nvarchar', 'char(5)', 'nvarchar', 'nvarchar', 'varchar', 'varchar',
             'varchar', 'nvarchar', 'char(5)', 'int']
    columns = []
    for index, (title, kind) in enumerate(zip(titles, kinds)):
        if kind in ('nvarchar', 'varchar'):
            kind = '%s(%d)' % (kind, _column_width(title, [row[index] for row in rows]))
        columns.append((title, named_type(kind)))
    return columns, rows


def inputbuffer(target):
    """dbcc inputbuffer's one row for the session."""
    columns = [('EventType', named_type('nvarchar(30)')), ('Parameters', named_type('smallint')),
               ('EventInfo', named_type('nvarchar(4000)'))]
    text = target.snapshot()['batch'] if target is not None else None
    if text is None:
        return columns, [['No Event', '0', '']]
    return columns, [['Language Event', '0', text]]


def session_cost(target):
    """sys.dm_exec_sessions' cpu_time and reads of one session: no row for a session that is not there.
    cpu_time is the work of the session's PostgreSQL backend in milliseconds, as sp_who2's CPUTime;
    reads is the stand-in's own count of the rows its statements read, as sp_who2's DiskIO."""
    columns = [('cpu_time', named_type('int')), ('reads', named_type('bigint'))]
    if target is None:
        return columns, []
    state = target.snapshot()
    return columns, [[state['cpu'], state['io']]]


DBCC_DONE = 'DBCC execution completed. If DBCC printed error messages, contact your system administrator.'
