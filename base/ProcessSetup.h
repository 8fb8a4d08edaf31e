#pragma once
// What every program of the system does first, before it opens anything.

// Standard input, output and error that the starter left closed are opened
// on the null device, so that no file or port opened later can take their
// place and receive what the program prints for a person (on Linux the
// system hands out the lowest free descriptor; a port opened as descriptor
// 1 would get the trace between the image's lines). A reader of the output
// that goes away (a pipe into head) makes writes fail instead of ending the
// program: a run that has begun always goes to its end and says how it
// ended, wherever it still can.
void PrepareProcess();

// For a program whose product is what it prints (--version, --help, a
// list): flushes standard output and, when what was printed could not all
// be written (a full disk, a reader that went away), says so on standard
// error and turns a success into 1, so that a script never takes a
// truncated answer for a whole one. Any other status is given back as it
// is.
int StatusAfterOutput(int status, const char* program);
