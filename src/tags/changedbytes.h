#pragma once

#include <QByteArrayView>

// Where two byte strings of one size differ: they agree before first and
// from end on; first == end when they are the same. A rewrite of a tag
// writes only these bytes: a new title beside a cover of 100 KB leaves the
// cover's pages alone.
struct ChangedBytes {
    qint64 first = 0;
    qint64 end = 0;
};
ChangedBytes ChangedBytesOf(QByteArrayView now, QByteArrayView was);
