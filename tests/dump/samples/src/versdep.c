/* versdep.c - the versioned library that versioned.c needs. */
int dep_fn(void) { return 42; }
int dep_data = 7;
