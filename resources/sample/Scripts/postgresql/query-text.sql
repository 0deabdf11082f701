select pid, state, query from pg_stat_activity where pid = %pid%
