# (filled in with the generator)
