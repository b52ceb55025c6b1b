#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Inflates one zlib stream (bytes after its end are ignored). nullopt when
// the data is not a complete stream or would give more than limit bytes: the
// output grows only as the data inflates, so a small frame that claims or
// holds a huge content costs at most limit bytes.
std::optional<QByteArray> InflateZlib(QByteArrayView data, qsizetype limit);
