#pragma once
// Whether another program has a port open. The exclusive flag and flock stop
// only programs that use them; a terminal program or a modem prober holding a
// port normally shows up only in the descriptor links under /proc.
#include <sys/types.h>

// Another process has the character device open. Only the processes this
// user may inspect are seen: all of them for root, the user's own otherwise.
// This process does not count: its own opens are refused by the exclusive
// open.
bool DeviceOpenElsewhere(dev_t device);

// The open port fd is a terminal that no other process has open.
bool TerminalFreeElsewhere(int fd);
