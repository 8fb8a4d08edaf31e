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
