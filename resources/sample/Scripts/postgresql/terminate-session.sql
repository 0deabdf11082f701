select pg_terminate_backend(%pid%)
