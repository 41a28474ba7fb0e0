#pragma once
// The process's umask, which a new file's mode depends on. umask(2) reads it
// only by setting it, which would give a file that another thread creates
// meanwhile the wrong mode: so a program reads it once, first thing in main,
// before any thread exists, and never changes it later.
#include <sys/types.h>

// Reads the umask by setting it and setting it back. Call it first thing in
// main; a call after the umask was first asked for changes nothing.
void ReadUmaskAtStart();

// The umask read at start. Without that (tests, tools), the one /proc shows
// now; without /proc, 077, which keeps a new file private.
mode_t ProcessUmask();
