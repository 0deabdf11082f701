/* Requests being executed now, longest first, with the text of the statement
   that is running. The monitor's own session is left out.
   Needs the VIEW SERVER STATE permission. */
SELECT
    r.session_id                                AS spid,
    s.login_name                                AS login,
    s.host_name                                 AS host,
    DB_NAME(r.database_id)                      AS [database],
    r.status                                    AS status,
    r.command                                   AS command,
    r.blocking_session_id                       AS blocked_by,
    r.wait_type                                 AS wait_type,
    r.wait_time                                 AS wait_ms,
    r.cpu_time                                  AS cpu_ms,
    r.total_elapsed_time                        AS elapsed_ms,
    r.logical_reads                             AS logical_reads,
    r.reads                                     AS reads,
    r.writes                                    AS writes,
    r.open_transaction_count                    AS open_tran,
    CAST(r.percent_complete AS decimal(5, 1))   AS pct_complete,
    r.start_time                                AS start_time,
    s.program_name                              AS program,
    REPLACE(REPLACE(REPLACE(
        SUBSTRING(t.text,
                  r.statement_start_offset / 2 + 1,
                  (CASE WHEN r.statement_end_offset = -1
                        THEN DATALENGTH(t.text)
                        ELSE r.statement_end_offset
                   END - r.statement_start_offset) / 2 + 1),
        CHAR(13), ' '), CHAR(10), ' '), CHAR(9), ' ')
                                                AS sql_text
FROM sys.dm_exec_requests AS r
INNER JOIN sys.dm_exec_sessions AS s
        ON s.session_id = r.session_id
OUTER APPLY sys.dm_exec_sql_text(r.sql_handle) AS t
WHERE r.session_id <> @@SPID
  AND s.is_user_process = 1
ORDER BY r.total_elapsed_time DESC
