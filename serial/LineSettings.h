#pragma once
// The termios form of a component's line properties: raw binary mode, speed,
// data bits, parity, stop bits and flow control. Other fields of t are kept.
#include <termios.h>

class TComm;

void ComposeTermios(const TComm &comm, termios &t);
