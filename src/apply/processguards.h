#pragma once

// Guards a program that writes music files takes before it opens any.

// Opens /dev/null on each of standard input, output and error that its
// caller left closed: the first file opened would take such a descriptor,
// and a line meant for the terminal would be written into a music file.
// Returns whether standard output was closed (its results are lost).
bool OccupyClosedStandardDescriptors();

// A write past the file-size limit (ulimit -f) fails with EFBIG, reported
// and cleaned up as a full disk is, instead of killing the program with
// SIGXFSZ part way through a copy.
void FailWritesPastSizeLimit();
