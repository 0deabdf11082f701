/* Work of each database on the PostgreSQL server since its statistics were
   last reset: transactions, blocks read from disk or found in the buffer
   cache, rows read and changed, temporary files. These are running totals;
   with the sample's options the monitor shows beside each its change per
   second. The row of the objects all databases share is left out. */
SELECT
    CAST(d.datname AS varchar(63))          AS database,
    d.numbackends                           AS backends,
    d.xact_commit                           AS xact_commit,
    d.xact_rollback                         AS xact_rollback,
    d.blks_read                             AS blks_read,
    d.blks_hit                              AS blks_hit,
    d.tup_returned                          AS tup_returned,
    d.tup_fetched                           AS tup_fetched,
    d.tup_inserted                          AS tup_inserted,
    d.tup_updated                           AS tup_updated,
    d.tup_deleted                           AS tup_deleted,
    d.temp_bytes                            AS temp_bytes,
    d.deadlocks                             AS deadlocks,
    CAST(d.stats_reset AS timestamp(0))     AS stats_reset
FROM pg_stat_database AS d
WHERE d.datname IS NOT NULL
ORDER BY d.datname
