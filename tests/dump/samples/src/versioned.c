/*
 * versioned.c - a shared object with symbol versions of every kind: two
 * versions of one function (the older one hidden), a versioned object, a
 * function and an object bound to a version of the library it needs.
 */
extern int dep_fn(void);
extern int dep_data;

int vers_base(void) { return 1; }

int api_old(void) { return 1; }
int api_new(void) { return 2; }
__asm__(
    ".symver api_old, api@VERS_1.0\n"
    ".symver api_new, api@@VERS_2.0\n");

int data_obj = 3;

int uses_dep(void) { return dep_fn() + dep_data + api_new() + api_old(); }
