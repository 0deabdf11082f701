/* Data and log files of every database: size, space used, growth, limit
   and path. The space used is known only for the files of the database
   the connection is in; for the other databases it stays empty. The
   current size of that database's files is read from the database itself
   (the server-wide list keeps the start-up size of tempdb).
   Sizes are in megabytes (a page is 8 KB, so 128 pages make 1 MB). */
SELECT
    d.name                                                      AS [database],
    d.state_desc                                                AS db_state,
    d.recovery_model_desc                                       AS recovery,
    f.file_id                                                   AS file_id,
    f.name                                                      AS logical_name,
    f.type_desc                                                 AS file_type,
    CAST(COALESCE(df.size, f.size) / 128.0 AS decimal(18, 1))   AS size_mb,
    CASE WHEN df.file_id IS NOT NULL
         THEN CAST(FILEPROPERTY(df.name, 'SpaceUsed') / 128.0 AS decimal(18, 1))
    END                                                         AS used_mb,
    CASE WHEN df.file_id IS NOT NULL AND df.size > 0
         THEN CAST(100.0 * FILEPROPERTY(df.name, 'SpaceUsed') / df.size AS decimal(5, 1))
    END                                                         AS used_pct,
    CASE WHEN f.growth = 0 THEN 'none'
         WHEN f.is_percent_growth = 1 THEN CAST(f.growth AS varchar(12)) + ' %'
         ELSE CAST(CAST(f.growth / 128.0 AS decimal(18, 1)) AS varchar(24)) + ' MB'
    END                                                         AS growth,
    CASE WHEN f.max_size = -1 THEN 'unlimited'
         WHEN f.max_size = 0 THEN 'fixed'
         ELSE CAST(CAST(f.max_size / 128.0 AS decimal(18, 0)) AS varchar(24)) + ' MB'
    END                                                         AS max_size,
    f.physical_name                                             AS path
FROM sys.master_files AS f
INNER JOIN sys.databases AS d
        ON d.database_id = f.database_id
LEFT JOIN sys.database_files AS df
       ON f.database_id = DB_ID()
      AND df.file_id = f.file_id
ORDER BY d.name, f.type, f.file_id
