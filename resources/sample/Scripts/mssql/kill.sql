kill %spid%
