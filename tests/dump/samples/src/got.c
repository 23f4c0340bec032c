/* Data reached through the MIPS GOT: a local object, and a global one that
 * a shared library resolves at run time. */
extern int shared_value;
static int local_value = 3;

int *local_address(void) { return &local_value; }
int *shared_address(void) { return &shared_value; }
void _start(void) { local_address(); }
