exec sp_Who2
