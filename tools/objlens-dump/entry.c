/*
 * entry.c - objlens-dump's entry point: the run itself is dump_main, in
 * main.c, so that the fuzz target can link everything else.
 */
#include "main.h"

int main(int argc, char **argv) { return dump_main(argc, argv); }
