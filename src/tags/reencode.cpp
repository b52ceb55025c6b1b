#include "tags/reencode.h"

#include "tags/textcodec.h"

#include <algorithm>
#include <cstring>

namespace {

// Field layouts after the encoding byte: a digit is that many fixed bytes,
// M a zero-terminated Latin-1 string, E a zero-terminated encoded string,
// R encoded text to the end, B binary data to the end. The fields after a
// * repeat until the body ends; those after a ? may be missing (mutagen
// leaves out a commercial frame's picture type and logo when it has none).
// An E that ends the layout, or stands before a ?, may end with the body
// instead: version 2.4 lists leave the last terminator out.
struct BodyLayout {
    const char* id;
    const char* fields;
};

const BodyLayout layouts[] = {
    {"COMM", "3ER"},     {"USLT", "3ER"}, {"TXXX", "ER"},        {"WXXX", "EB"},
    {"APIC", "M1EB"},    {"USER", "3R"},  {"GEOB", "MEEB"},      {"IPLS", "*E"},
    {"SYLT", "311E*E4"}, {"OWNE", "M8R"}, {"COMR", "M8M1EE?MB"},
};

const char* FieldsOf(const char* id) {
    if (id[0] == 'T' && std::strcmp(id, "TXXX") != 0)
        return "R";
    for (const BodyLayout& l : layouts) {
        if (std::strcmp(id, l.id) == 0)
            return l.fields;
    }
    return nullptr;
}

} // namespace

QByteArray ReencodeToUtf16(const char* id, const QByteArray& body, bool* ok) {
    *ok = false;
    if (body.isEmpty() || (body[0] != EncodingUtf16BE && body[0] != EncodingUtf8))
        return body;
    const char* fields = FieldsOf(id);
    if (!fields)
        return body;
    const int enc = body[0];
    QByteArray out(1, char(EncodingUtf16));
    qsizetype pos = 1;
    const char* repeat = nullptr;
    for (const char* f = fields; *f || (repeat && pos < body.size()); ++f) {
        if (!*f) {
            f = repeat;
        } else if (*f == '*') {
            repeat = f;
        } else if (*f == '?') {
            if (pos == body.size())
                break;
        } else if (*f >= '1' && *f <= '9') {
            const int n = *f - '0';
            if (pos + n > body.size())
                return body;
            out.append(body.mid(pos, n));
            pos += n;
        } else if (*f == 'M') {
            const qsizetype end = body.indexOf('\0', pos);
            if (end < 0)
                return body;
            out.append(body.mid(pos, end + 1 - pos));
            pos = end + 1;
        } else if (*f == 'E') {
            qsizetype end = FindTerminator(enc, body, pos);
            if (end < 0 && (f[1] == '\0' || f[1] == '?'))
                end = body.size();
            if (end < 0)
                return body;
            out.append(EncodeUtf16WithMark(DecodeText(enc, body.mid(pos, end - pos))));
            out.append(2, '\0');
            pos = std::min(end + TerminatorWidth(enc), body.size());
        } else if (*f == 'R') {
            out.append(EncodeUtf16WithMark(DecodeText(enc, body.mid(pos))));
            pos = body.size();
        } else {
            out.append(body.mid(pos));
            pos = body.size();
        }
    }
    *ok = true;
    return out;
}
