/* Locks on the PostgreSQL server: who holds or waits for which lock.
   blocked_by lists the sessions a waiting session waits for, blocking the
   sessions that wait for this one. Waiting locks come first. Relation
   names are resolved in the database of the connection; relations of
   other databases show their number. The lock every transaction holds on
   its own virtual transaction id is left out. */
WITH waiting AS (
    SELECT a.pid,
           pg_blocking_pids(a.pid) AS blockers
    FROM pg_stat_activity AS a
    WHERE a.wait_event_type = 'Lock'
),
lock_rows AS (
    SELECT
        l.pid,
        l.locktype,
        l.mode,
        l.granted,
        d.datname,
        CASE
            WHEN l.locktype = 'tuple'
                THEN CAST(CAST(l.relation AS regclass) AS text)
                     || ' (' || CAST(l.page AS text) || ',' || CAST(l.tuple AS text) || ')'
            WHEN l.locktype = 'page'
                THEN CAST(CAST(l.relation AS regclass) AS text) || ' page ' || CAST(l.page AS text)
            WHEN l.relation IS NOT NULL THEN CAST(CAST(l.relation AS regclass) AS text)
            WHEN l.locktype = 'transactionid' THEN 'xid ' || CAST(l.transactionid AS text)
            WHEN l.locktype = 'virtualxid' THEN 'vxid ' || l.virtualxid
            WHEN l.locktype = 'advisory' THEN 'advisory ' || CAST(l.classid AS text) || '/' || CAST(l.objid AS text)
            ELSE l.locktype
        END AS resource
    FROM pg_locks AS l
    LEFT JOIN pg_database AS d ON d.oid = l.database
    WHERE l.pid IS DISTINCT FROM pg_backend_pid()
      AND NOT (l.locktype = 'virtualxid' AND l.granted)
)
SELECT
    k.pid                                                   AS pid,
    CAST(a.usename AS varchar(63))                          AS usename,
    CAST(COALESCE(k.datname, a.datname) AS varchar(63))     AS database,
    CAST(k.locktype AS varchar(20))                         AS locktype,
    CAST(k.resource AS varchar(200))                        AS resource,
    CAST(k.mode AS varchar(32))                             AS mode,
    CAST(CASE WHEN k.granted THEN 'granted' ELSE 'waiting' END AS varchar(8)) AS lock_status,
    CAST(array_to_string(w.blockers, ', ') AS varchar(200)) AS blocked_by,
    CAST((SELECT string_agg(CAST(x.pid AS text), ', ' ORDER BY x.pid)
          FROM waiting AS x
          WHERE k.pid = ANY (x.blockers)) AS varchar(200))  AS blocking,
    CAST(a.state AS varchar(32))                            AS state,
    CAST(a.application_name AS varchar(128))                AS application_name,
    CAST(COALESCE(host(a.client_addr), 'local') AS varchar(64)) AS client_addr,
    CAST(a.query_start AS timestamp(0))                     AS query_start,
    CAST(left(regexp_replace(a.query, '\s+', ' ', 'g'), 2000) AS varchar(2000)) AS query
FROM lock_rows AS k
LEFT JOIN pg_stat_activity AS a ON a.pid = k.pid
LEFT JOIN waiting AS w ON w.pid = k.pid AND NOT k.granted
ORDER BY k.granted, k.pid, k.locktype, k.resource
