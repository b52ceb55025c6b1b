#pragma once

// Ctrl+C (SIGINT), SIGTERM and SIGHUP (the terminal closed) ask a batch to
// stop after the file in hand; they never cut a file off in the middle. A
// signal that the program was started ignoring (nohup) stays ignored.
void InstallStopHandlers();
bool StopRequested();

// A reader of the output that goes away (`| head`) does not kill a run that
// changes files part way: it goes on, and the output's failure is reported
// at its end. (show and preview, which change nothing, just end.)
void KeepGoingWhenOutputCloses();
