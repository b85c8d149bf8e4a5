# (filled in as the subsystem lands)
