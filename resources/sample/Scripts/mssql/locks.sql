/* Locks held or requested, one row per session, database, resource and
   lock mode, with the number of locks of that kind. The shared database
   lock that every connection holds is left out unless it is waited for.
   Object names of key, page and row locks are resolved in the current
   database only; elsewhere the partition id (hobt) is shown.
   Needs the VIEW SERVER STATE permission. */
WITH locks AS (
    SELECT
        l.request_session_id                        AS spid,
        l.resource_database_id                      AS database_id,
        l.resource_type                             AS resource_type,
        CASE
            WHEN l.resource_type = 'OBJECT'
                THEN COALESCE(
                       OBJECT_SCHEMA_NAME(CAST(l.resource_associated_entity_id AS int), l.resource_database_id)
                       + '.' + OBJECT_NAME(CAST(l.resource_associated_entity_id AS int), l.resource_database_id),
                       'object ' + CAST(l.resource_associated_entity_id AS varchar(20)))
            WHEN l.resource_type IN ('KEY', 'PAGE', 'RID', 'HOBT')
                THEN COALESCE(
                       OBJECT_SCHEMA_NAME(p.object_id) + '.' + OBJECT_NAME(p.object_id),
                       'hobt ' + CAST(l.resource_associated_entity_id AS varchar(20)))
            WHEN l.resource_type = 'DATABASE'
                THEN DB_NAME(l.resource_database_id)
            ELSE l.resource_type
        END                                         AS resource_name,
        l.request_mode                              AS mode,
        l.request_status                            AS request_status
    FROM sys.dm_tran_locks AS l
    LEFT JOIN sys.partitions AS p
           ON p.hobt_id = l.resource_associated_entity_id
          AND l.resource_database_id = DB_ID()
          AND l.resource_type IN ('KEY', 'PAGE', 'RID', 'HOBT')
    WHERE l.request_session_id <> @@SPID
      AND NOT (l.resource_type = 'DATABASE' AND l.request_mode = 'S' AND l.request_status = 'GRANT')
)
SELECT
    k.spid                          AS spid,
    s.login_name                    AS login,
    s.host_name                     AS host,
    DB_NAME(k.database_id)          AS [database],
    k.resource_type                 AS resource_type,
    k.resource_name                 AS resource_name,
    k.mode                          AS mode,
    k.request_status                AS request_status,
    COUNT(*)                        AS lock_count,
    s.program_name                  AS program
FROM locks AS k
LEFT JOIN sys.dm_exec_sessions AS s
       ON s.session_id = k.spid
GROUP BY k.spid, s.login_name, s.host_name, k.database_id, k.resource_type,
         k.resource_name, k.mode, k.request_status, s.program_name
ORDER BY CASE WHEN k.request_status = 'GRANT' THEN 1 ELSE 0 END,
         k.spid, DB_NAME(k.database_id), k.resource_type, k.resource_name
