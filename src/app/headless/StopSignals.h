#pragma once

namespace tess::app::stopsignals {

// Ctrl+C, SIGTERM and SIGHUP for a program that works on an event loop: the
// handler only writes the signal's number to a pipe; the loop watches the
// pipe's read end and stops the work between two of its steps.

// Makes the pipe; false, with errno set, when it cannot be made.
bool open();
// The pipe's end to watch for signals.
int readEnd();
// Sends SIGINT, SIGTERM and SIGHUP to the pipe from now on.
void catchSignals();
// Gives those signals their default effect again.
void release();
// The number of the next signal waiting in the pipe; 0 when none is.
int take();

} // namespace tess::app::stopsignals
