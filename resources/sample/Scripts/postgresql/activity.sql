/* Sessions of client programs on the PostgreSQL server, the busiest first:
   who is connected, from where, what the session is doing and since when,
   and the text of its current or last query, and blocked_by, the first
   session it waits for (0 for none). The monitor's own session is left
   out. */
SELECT
    a.pid                                                   AS pid,
    CAST(a.usename AS varchar(63))                          AS usename,
    CAST(a.datname AS varchar(63))                          AS database,
    CAST(a.application_name AS varchar(128))                AS application_name,
    CAST(COALESCE(host(a.client_addr), 'local') AS varchar(64)) AS client_addr,
    CAST(a.state AS varchar(32))                            AS state,
    CAST(a.wait_event_type AS varchar(32))                  AS wait_event_type,
    CAST(a.wait_event AS varchar(64))                       AS wait_event,
    COALESCE((pg_blocking_pids(a.pid))[1], 0)               AS blocked_by,
    CAST(a.backend_start AS timestamp(0))                   AS backend_start,
    CAST(a.xact_start AS timestamp(0))                      AS xact_start,
    CAST(a.query_start AS timestamp(0))                     AS query_start,
    CAST(CASE WHEN a.state = 'active'
              THEN round(CAST(extract(epoch FROM clock_timestamp() - a.query_start) AS numeric), 1)
         END AS numeric(12, 1))                             AS running_s,
    CAST(left(regexp_replace(a.query, '\s+', ' ', 'g'), 2000) AS varchar(2000)) AS query
FROM pg_stat_activity AS a
WHERE a.backend_type = 'client backend'
  AND a.pid <> pg_backend_pid()
ORDER BY CASE a.state WHEN 'active' THEN 0
                      WHEN 'idle in transaction' THEN 1
                      WHEN 'idle in transaction (aborted)' THEN 1
                      ELSE 2 END,
         a.query_start
