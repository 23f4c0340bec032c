/* start.c - the smallest program for the note samples. */
int counter;

void _start(void)
{
    for (;;) {
        counter++;
    }
}
