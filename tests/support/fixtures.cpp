#include "fixtures.h"

#include <QFile>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fixture {

namespace {

QByteArray Synchsafe(quint32 v) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = char((v >> (21 - 7 * i)) & 0x7F);
    return out;
}

QByteArray BigEndian(quint32 v, int width) {
    QByteArray out(width, '\0');
    for (int i = 0; i < width; ++i)
        out[i] = char((v >> (8 * (width - 1 - i))) & 0xFF);
    return out;
}

QByteArray Terminator(int encoding) {
    return QByteArray(encoding == 1 || encoding == 2 ? 2 : 1, '\0');
}

QByteArray FrameBytes(const Tag& tag, const Frame& frame) {
    if (tag.version == 2)
        return frame.id.left(3) + BigEndian(quint32(frame.body.size()), 3) + frame.body;
    QByteArray body = frame.body;
    quint16 flags = frame.flags;
    if (tag.version == 4 && tag.unsync) {
        body = AddUnsynchronisation(body);
        flags |= 0x0002;
    }
    bool synchsafe = tag.version == 4;
    if (tag.sizes == SizeForm::Plain)
        synchsafe = false;
    else if (tag.sizes == SizeForm::Synchsafe)
        synchsafe = true;
    const auto size = quint32(body.size());
    return frame.id.left(4) + (synchsafe ? Synchsafe(size) : BigEndian(size, 4)) +
           BigEndian(flags, 2) + body;
}

void FillField(QByteArray& block, int offset, const QByteArray& value, int width) {
    for (int i = 0; i < width && i < value.size(); ++i)
        block[offset + i] = value[i];
}

} // namespace

QByteArray Encode(int encoding, const QString& text) {
    switch (encoding) {
    case 1: {
        QByteArray out("\xFF\xFE", 2);
        for (QChar c : text)
            out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        return out;
    }
    case 2: {
        QByteArray out;
        for (QChar c : text)
            out.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        return out;
    }
    case 3:
        return text.toUtf8();
    default:
        return text.toLatin1();
    }
}

QByteArray TextBody(int encoding, const QString& text) {
    return QByteArray(1, char(encoding)) + Encode(encoding, text);
}

QByteArray TextValuesBody(int encoding, const QStringList& values) {
    QByteArray body(1, char(encoding));
    for (qsizetype i = 0; i < values.size(); ++i)
        body += (i > 0 ? Terminator(encoding) : QByteArray()) + Encode(encoding, values[i]);
    return body;
}

QByteArray CommentBody(int encoding, const QByteArray& language, const QString& descriptor,
                       const QString& text) {
    return QByteArray(1, char(encoding)) + language.left(3) + Encode(encoding, descriptor) +
           Terminator(encoding) + Encode(encoding, text);
}

QByteArray UserTextBody(int encoding, const QString& descriptor, const QString& value) {
    return QByteArray(1, char(encoding)) + Encode(encoding, descriptor) + Terminator(encoding) +
           Encode(encoding, value);
}

QByteArray PictureBody(int encoding, const QByteArray& mime, int type, const QString& descriptor,
                       const QByteArray& data) {
    return QByteArray(1, char(encoding)) + mime + '\0' + char(type) + Encode(encoding, descriptor) +
           Terminator(encoding) + data;
}

QByteArray ImageData(int size) {
    QByteArray out(size, '\0');
    quint32 state = 2463534242u;
    for (int i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out[i] = char(state & 0xFF);
    }
    // Runs of FF bytes, so unsynchronisation has something to do.
    for (int i = 0; i + 1 < size; i += 97) {
        out[i] = '\xFF';
        out[i + 1] = char(0xE0 | (i & 0x1F));
    }
    return out;
}

Frame CompressedFrame(int version, const QByteArray& id, const QByteArray& content) {
    // qCompress gives the size as 4 big-endian bytes, then the zlib stream.
    const QByteArray zipped = qCompress(content);
    if (version == 4)
        return {id, Synchsafe(quint32(content.size())) + zipped.mid(4), 0x0009};
    return {id, zipped, 0x0080};
}

QByteArray AddUnsynchronisation(const QByteArray& data) {
    QByteArray out;
    out.reserve(data.size() + data.size() / 64);
    for (qsizetype i = 0; i < data.size(); ++i) {
        out.append(data[i]);
        const bool ff = quint8(data[i]) == 0xFF;
        const bool last = i + 1 == data.size();
        if (ff && (last || quint8(data[i + 1]) >= 0xE0 || data[i + 1] == '\0'))
            out.append('\0');
    }
    return out;
}

QByteArray BuildTag(const Tag& tag) {
    QByteArray body;
    if (tag.extendedHeader && tag.version == 3)
        body += BigEndian(6, 4) + QByteArray(6, '\0'); // size, flags, padding size
    else if (tag.extendedHeader && tag.version == 4)
        body += Synchsafe(6) + QByteArray("\x01\x00", 2);
    for (const Frame& f : tag.frames)
        body += FrameBytes(tag, f);
    body += QByteArray(tag.padding, '\0');
    if (tag.unsync && tag.version < 4)
        body = AddUnsynchronisation(body);
    int flags = tag.extraFlags;
    if (tag.unsync)
        flags |= 0x80;
    if (tag.extendedHeader)
        flags |= 0x40;
    if (tag.footer)
        flags |= 0x10;
    const QByteArray size = tag.sizeBytes ? *tag.sizeBytes : Synchsafe(quint32(body.size()));
    const QByteArray head = QByteArray("ID3", 3) + char(tag.version) + '\0' + char(flags);
    QByteArray out = head + size + body;
    if (tag.footer)
        out += QByteArray("3DI", 3) + char(tag.version) + '\0' + char(flags) + size;
    return out;
}

QByteArray BuildV1(const V1& v1) {
    QByteArray block(128, '\0');
    FillField(block, 0, "TAG", 3);
    FillField(block, 3, v1.title, 30);
    FillField(block, 33, v1.artist, 30);
    FillField(block, 63, v1.album, 30);
    FillField(block, 93, v1.year, 4);
    FillField(block, 97, v1.comment, v1.track >= 0 ? 28 : 30);
    if (v1.track >= 0) {
        block[125] = '\0';
        block[126] = char(v1.track);
    }
    block[127] = char(v1.genre);
    return block;
}

QByteArray SilentAudio(int frameCount) {
    // MPEG-1 Layer III, no CRC, 128 kbit/s, 44.1 kHz, mono: 417 bytes; zero
    // side information decodes as silence.
    QByteArray frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\xC4';
    QByteArray out;
    out.reserve(417 * frameCount);
    for (int i = 0; i < frameCount; ++i)
        out += frame;
    return out;
}

QByteArray BuildFile(const Tag* tag, int audioFrames, const V1* v1) {
    QByteArray out;
    if (tag)
        out += BuildTag(*tag);
    out += SilentAudio(audioFrames);
    if (v1)
        out += BuildV1(*v1);
    return out;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool EditInPlace(const QString& path, const QByteArray& bytes, bool keepTime) {
    struct stat before;
    if (::stat(QFile::encodeName(path).constData(), &before) != 0)
        return false;
    // Kernels before 6.13 take file times from a clock that moves every few
    // milliseconds: the edit must come after its next step for the change
    // time to move at all.
    struct timespec now {};
    while (keepTime && ::clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
           (now.tv_sec < before.st_ctim.tv_sec ||
            (now.tv_sec == before.st_ctim.tv_sec && now.tv_nsec <= before.st_ctim.tv_nsec)))
        ::usleep(1000);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    const struct timespec later[2] = {{0, UTIME_OMIT}, {time(nullptr) + 60, 0}};
    const struct timespec kept[2] = {before.st_atim, before.st_mtim};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), keepTime ? kept : later, 0) ==
           0;
}

bool GrantUserAccess(const QString& path, unsigned uid) {
    // The kernel's form: a version, then tag, permissions and id per entry.
    QByteArray acl;
    const auto put = [&acl](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            acl.append(char(value >> (8 * i)));
    };
    put(2, 4);
    const quint32 none = 0xFFFFFFFF;
    const quint32 entries[][3] = {
        {0x01, 6, none}, {0x02, 6, uid}, {0x04, 4, none}, {0x10, 6, none}, {0x20, 0, none}};
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(e[2], 4);
    }
    return ::setxattr(QFile::encodeName(path).constData(), "system.posix_acl_access",
                      acl.constData(), size_t(acl.size()), 0) == 0;
}

QByteArray AccessList(const QString& path) {
    QByteArray value(256, '\0');
    const ssize_t n = ::getxattr(QFile::encodeName(path).constData(), "system.posix_acl_access",
                                 value.data(), size_t(value.size()));
    return value.left(n > 0 ? n : 0);
}

} // namespace fixture
