/* Relative and symbolic relocations, in runs and scattered, for a linker
 * to pack as Android packed relocations. */
extern int ext_a, ext_b, ext_c;
extern void ext_f(void);
static int local_data[64];

#define P8                                                                                         \
    &local_data[1], &local_data[2], &local_data[3], &local_data[4], &local_data[5],                \
        &local_data[6], &local_data[7], &local_data[8]
int *rel_ptrs[] = {P8, P8, P8, P8, P8, P8, P8, P8,     P8,     P8,     P8,     P8,    P8,
                   P8, P8, P8, P8, P8, P8, P8, &ext_a, &ext_b, &ext_c, &ext_a, &ext_b};
int *sym_ptrs[] = {&ext_a, &ext_b, &ext_c, &ext_a + 4, &ext_b + 8, &local_data[10], &ext_c, &ext_a};
void (*fp[])(void) = {ext_f, ext_f};
long mixed[] = {(long)&local_data[0], 5, (long)&ext_b, (long)&local_data[3], 7, 9, (long)&ext_c};
