/* Queries that have been running on the PostgreSQL server for more than
   5 seconds, the longest first, with how long their transaction has been
   open and what they are waiting for. The monitor's own session is left
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
    CAST(a.query_start AS timestamp(0))                     AS query_start,
    CAST(date_trunc('second', clock_timestamp() - a.query_start) AS varchar(32)) AS duration,
    CAST(round(CAST(extract(epoch FROM clock_timestamp() - a.query_start) AS numeric), 1) AS numeric(12, 1)) AS duration_s,
    CAST(date_trunc('second', clock_timestamp() - a.xact_start) AS varchar(32)) AS xact_duration,
    CAST(array_to_string(pg_blocking_pids(a.pid), ', ') AS varchar(200)) AS blocked_by,
    CAST(left(regexp_replace(a.query, '\s+', ' ', 'g'), 2000) AS varchar(2000)) AS query
FROM pg_stat_activity AS a
WHERE a.state = 'active'
  AND a.backend_type = 'client backend'
  AND a.pid <> pg_backend_pid()
  AND a.query_start < clock_timestamp() - interval '5 seconds'
ORDER BY a.query_start
