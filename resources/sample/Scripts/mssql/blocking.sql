/* Blocking chains: every session that waits for a lock held by another one,
   together with the sessions at the head of each chain (blocked_by = 0).
   chain shows the path from the head blocker down to the session, for
   example 57 > 63 > 71. For a session that is idle inside an open
   transaction the statement is the last one it sent.
   Needs the VIEW SERVER STATE permission. */
WITH edges AS (
    SELECT r.session_id,
           r.blocking_session_id
    FROM sys.dm_exec_requests AS r
    WHERE r.blocking_session_id <> 0
      AND r.blocking_session_id <> r.session_id
),
chain AS (
    SELECT DISTINCT
           e.blocking_session_id                                   AS session_id,
           e.blocking_session_id                                   AS head_spid,
           0                                                       AS chain_level,
           CAST(CAST(e.blocking_session_id AS varchar(12)) AS varchar(1000)) AS chain_text
    FROM edges AS e
    WHERE NOT EXISTS (SELECT 1 FROM edges AS x WHERE x.session_id = e.blocking_session_id)
    UNION ALL
    SELECT e.session_id,
           c.head_spid,
           c.chain_level + 1,
           CAST(c.chain_text + ' > ' + CAST(e.session_id AS varchar(12)) AS varchar(1000))
    FROM edges AS e
    INNER JOIN chain AS c
            ON e.blocking_session_id = c.session_id
    WHERE c.chain_level < 32
)
SELECT
    c.head_spid                                         AS head_spid,
    c.chain_level                                       AS chain_level,
    c.chain_text                                        AS chain,
    c.session_id                                        AS spid,
    COALESCE(r.blocking_session_id, 0)                  AS blocked_by,
    s.login_name                                        AS login,
    s.host_name                                         AS host,
    DB_NAME(COALESCE(r.database_id, s.database_id))     AS [database],
    COALESCE(r.status, s.status)                        AS status,
    r.command                                           AS command,
    r.wait_type                                         AS wait_type,
    r.wait_time                                         AS wait_ms,
    r.wait_resource                                     AS wait_resource,
    s.open_transaction_count                            AS open_tran,
    s.program_name                                      AS program,
    REPLACE(REPLACE(REPLACE(
        CASE WHEN r.sql_handle IS NOT NULL
             THEN SUBSTRING(t.text,
                            r.statement_start_offset / 2 + 1,
                            (CASE WHEN r.statement_end_offset = -1
                                  THEN DATALENGTH(t.text)
                                  ELSE r.statement_end_offset
                             END - r.statement_start_offset) / 2 + 1)
             ELSE t.text
        END,
        CHAR(13), ' '), CHAR(10), ' '), CHAR(9), ' ')  AS sql_text
FROM chain AS c
LEFT JOIN sys.dm_exec_sessions AS s
       ON s.session_id = c.session_id
LEFT JOIN sys.dm_exec_requests AS r
       ON r.session_id = c.session_id
OUTER APPLY (SELECT TOP (1) cn.most_recent_sql_handle
             FROM sys.dm_exec_connections AS cn
             WHERE cn.session_id = c.session_id
             ORDER BY cn.connect_time) AS lastsql
OUTER APPLY sys.dm_exec_sql_text(COALESCE(r.sql_handle, lastsql.most_recent_sql_handle)) AS t
ORDER BY c.head_spid, c.chain_text
