select pg_cancel_backend(%pid%)
