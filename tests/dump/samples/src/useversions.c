/*
 * useversions.c - an executable of versioned.so: data_obj is copied into
 * its .bss, so a defined symbol carries a needed version.
 */
extern int data_obj;
extern int api(void);
extern int uses_dep(void);

void _start(void)
{
    data_obj = api() + uses_dep();
    for (;;) {
    }
}
