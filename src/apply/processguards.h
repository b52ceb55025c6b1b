#pragma once

// Guards a program that writes music files takes before it opens any.

// Opens /dev/null, for reading only, on each of standard input, output and
// error that its caller left closed: the first file opened would take such
// a descriptor, and a line meant for the terminal would be written into a
// music file. A write to them then fails (EBADF) as it would have.
void OccupyClosedStandardDescriptors();

// A write past the file-size limit (ulimit -f) fails with EFBIG, reported
// and cleaned up as a full disk is, instead of killing the program with
// SIGXFSZ part way through a copy.
void FailWritesPastSizeLimit();
