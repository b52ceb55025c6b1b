#pragma once

// Ctrl+C (SIGINT), SIGTERM and SIGHUP (the terminal closed) ask a batch to
// stop after the file in hand; they never cut a file off in the middle. A
// signal that the program was started ignoring (nohup) stays ignored.
void InstallStopHandlers();
bool StopRequested();
