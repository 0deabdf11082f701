/* What the server has been waiting for since its start (or since the wait
   statistics were last cleared): the 25 largest wait types, leaving out
   the waits of idle background tasks, with their share of the total.
   Needs the VIEW SERVER STATE permission. */
WITH waits AS (
    SELECT
        w.wait_type,
        w.waiting_tasks_count,
        w.wait_time_ms,
        w.signal_wait_time_ms,
        w.max_wait_time_ms
    FROM sys.dm_os_wait_stats AS w
    WHERE w.wait_time_ms > 0
      AND w.wait_type NOT LIKE 'SLEEP[_]%'
      AND w.wait_type NOT LIKE 'BROKER[_]%'
      AND w.wait_type NOT LIKE 'QDS[_]%'
      AND w.wait_type NOT LIKE 'XE[_]%'
      AND w.wait_type NOT LIKE 'FT[_]IFTS%'
      AND w.wait_type NOT LIKE 'PARALLEL[_]REDO%'
      AND w.wait_type NOT LIKE 'PREEMPTIVE[_]XE%'
      AND w.wait_type NOT LIKE 'WAIT[_]XTP%'
      AND w.wait_type NOT IN (
            'CHECKPOINT_QUEUE', 'CHKPT', 'CLR_AUTO_EVENT', 'CLR_MANUAL_EVENT',
            'CLR_SEMAPHORE', 'DBMIRROR_DBM_EVENT', 'DBMIRROR_EVENTS_QUEUE',
            'DBMIRROR_WORKER_QUEUE', 'DBMIRRORING_CMD', 'DIRTY_PAGE_POLL',
            'DISPATCHER_QUEUE_SEMAPHORE', 'EXECSYNC', 'FSAGENT',
            'HADR_CLUSAPI_CALL', 'HADR_FILESTREAM_IOMGR_IOCOMPLETION',
            'HADR_LOGCAPTURE_WAIT', 'HADR_NOTIFICATION_DEQUEUE',
            'HADR_TIMER_TASK', 'HADR_WORK_QUEUE',
            'KSOURCE_WAKEUP', 'LAZYWRITER_SLEEP', 'LOGMGR_QUEUE',
            'MEMORY_ALLOCATION_EXT', 'ONDEMAND_TASK_QUEUE',
            'PWAIT_ALL_COMPONENTS_INITIALIZED', 'PWAIT_DIRECTLOGCONSUMER_GETNEXT',
            'REDO_THREAD_PENDING_WORK', 'REQUEST_FOR_DEADLOCK_SEARCH',
            'RESOURCE_QUEUE', 'SERVER_IDLE_CHECK', 'SNI_HTTP_ACCEPT',
            'SOS_WORK_DISPATCHER', 'SP_SERVER_DIAGNOSTICS_SLEEP',
            'SQLTRACE_BUFFER_FLUSH', 'SQLTRACE_INCREMENTAL_FLUSH_SLEEP',
            'SQLTRACE_WAIT_ENTRIES', 'VDI_CLIENT_OTHER', 'WAIT_FOR_RESULTS',
            'WAITFOR', 'WAITFOR_TASKSHUTDOWN')
),
ranked AS (
    SELECT
        w.*,
        SUM(w.wait_time_ms) OVER ()                                   AS total_ms,
        SUM(w.wait_time_ms) OVER (ORDER BY w.wait_time_ms DESC, w.wait_type
                                  ROWS UNBOUNDED PRECEDING)           AS running_ms
    FROM waits AS w
)
SELECT TOP (25)
    r.wait_type                                                         AS wait_type,
    r.waiting_tasks_count                                               AS tasks,
    CAST(r.wait_time_ms / 1000.0 AS decimal(18, 1))                     AS wait_s,
    CAST((r.wait_time_ms - r.signal_wait_time_ms) / 1000.0 AS decimal(18, 1)) AS resource_s,
    CAST(r.signal_wait_time_ms / 1000.0 AS decimal(18, 1))              AS signal_s,
    CAST(r.wait_time_ms * 1.0 / NULLIF(r.waiting_tasks_count, 0) AS decimal(18, 1)) AS avg_wait_ms,
    r.max_wait_time_ms                                                  AS max_wait_ms,
    CAST(100.0 * r.wait_time_ms / r.total_ms AS decimal(5, 2))          AS pct,
    CAST(100.0 * r.running_ms / r.total_ms AS decimal(5, 2))            AS running_pct
FROM ranked AS r
ORDER BY r.wait_time_ms DESC, r.wait_type
