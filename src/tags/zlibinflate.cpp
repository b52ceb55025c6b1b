#include "tags/zlibinflate.h"

#include <zlib.h>

#include <algorithm>

std::optional<QByteArray> InflateZlib(QByteArrayView data, qsizetype limit) {
    constexpr qsizetype Chunk = 64 * 1024;
    z_stream stream{};
    if (limit < 0 || inflateInit(&stream) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    QByteArray out;
    qsizetype produced = 0;
    int status = Z_OK;
    // Room for one byte beyond the limit tells a content that is too large.
    while (status == Z_OK && produced <= limit) {
        const qsizetype room = std::min(Chunk, limit + 1 - produced);
        out.resize(produced + room);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = static_cast<uInt>(room);
        status = inflate(&stream, Z_NO_FLUSH);
        produced += room - static_cast<qsizetype>(stream.avail_out);
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END || produced > limit)
        return std::nullopt;
    out.truncate(produced);
    return out;
}
