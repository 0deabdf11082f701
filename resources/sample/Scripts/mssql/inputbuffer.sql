dbcc inputbuffer(%spid%)
