# (filled in with its unit)
