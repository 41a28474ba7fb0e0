#pragma once
// Descriptors 0, 1 and 2 taken before anything else can open one. A program
// started with them closed (some service managers and launchers do that)
// would otherwise get its first serial port as descriptor 2, and every
// message for the error stream would go to the programmer device.

// Opens `nullDevice` (read and write) on each of 0, 1 and 2 that is closed;
// the open ones are left as they are. Where it cannot be opened, a
// descriptor of the root folder that can neither be read nor written takes
// the place, so reads and writes fail as they would on a closed one. False
// when even that failed: the program must not go on. Called first thing in
// main, before any thread starts.
bool FillClosedStandardDescriptors(const char *nullDevice = "/dev/null");
