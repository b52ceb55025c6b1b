#pragma once

#include "tags/audiocontent.h"
#include "tags/fileidentity.h"
#include "tags/frameinfo.h"

#include <QByteArray>
#include <QString>

#include <list>

class QFile;

// Why the last Write failed, beyond its result.
enum class WriteProblem {
    None,
    Failed,           // not read first, cannot be opened or written
    ChangedSinceRead, // the path no longer names the file read, unchanged
};

// HRESULT-style results of TagInfo::Read.
constexpr int S_OK_RESULT = 0;    // the ID3v2 tag was read
constexpr int S_FALSE_RESULT = 1; // the file has no ID3v2 header
constexpr int E_FAIL_RESULT = static_cast<int>(0x80004005u);

// Why the last Read failed, beyond its result.
enum class ReadProblem {
    None,
    CannotOpen,     // missing, no permission
    NotRegularFile, // a folder, a FIFO, a device: never opened for reading
    TagRefused,     // the ID3v2 header or tag cannot be taken
};

// The tag record of the file read last: its frames in order, and what the
// writer needs to know about the file.
class TagInfo {
public:
    std::list<FrameInfo> frames;
    bool removeV1 = false; // set before Write: remove the file's ID3v1 block
    bool hasV1 = false;    // the file read ends with an ID3v1 block
    bool hasV2 = false;    // the file read begins with an ID3v2 header
    qint32 tagSize = 0;    // the size field of that header
    QString path;          // the file read; empty until a read opened one
    int version = 0;       // major version of the tag read (2, 3, 4), else 0
    // Bytes of the tag that followed a frame that could not be understood;
    // written back after the frames so nothing is lost.
    QByteArray unparsed;
    // The "TPE2" frame is the ID3v1 block's artist, which no ID3v2 frame
    // replaced: the track artist cut to 30 bytes, not an album artist.
    bool albumArtistFromV1 = false;

    // Inserts a copy under the single-instance rule; false when the rule
    // leaves it out (an empty value of a single-instance id).
    bool AddFrame(const FrameInfo& frame);
    // The first frame with this id, or nullptr.
    const FrameInfo* FindFrame(const char* id) const;
    // Text of the first frame with this id, or a null string.
    QString FindFrame(const char* id, int* lengthOut) const;
    // count -1: up to the first 0; count 0 or an empty id: nothing happens.
    void SetFrameLatin1(const char* id, const char* bytes, int count);
    void SetFrameWide(const char* id, const char16_t* text, int count);
    void SetFrameWide(const char* id, const QString& text, int count);
    // Removes every frame, the pseudo-frame included; the rest stays.
    void Clear();

    // 0, 1 or E_FAIL_RESULT. Opens the file once, without blocking, and
    // reads only its first bytes (tag and the start of the audio) and its
    // last 128.
    int Read(const QString& filePath);
    // Read from bytes already read of the regular file filePath (identity
    // id, fileSize bytes long): start holds its first bytes, at least its
    // whole ID3v2 region (or the whole file), last128 its last 128 bytes
    // (a shorter file gives fewer, and has no ID3v1 block) and judged what
    // follows the tag.
    int ReadBytes(const QString& filePath, const FileIdentity& id, QByteArray start,
                  qint64 fileSize, const QByteArray& last128, const AudioContent& judged);
    // Adds the ID3v1 frames when the file ends with an ID3v1 block.
    void ReadV1(QFile& file);
    // The same from the file's last 128 bytes.
    void ReadV1Block(const QByteArray& last128);
    // 0 on success, -1 on any failure (the file then is unchanged). The
    // path must still name the file read, unchanged (identity, taken from
    // the open file right before it is written, while no other Quorvel
    // writer may touch it): otherwise nothing is written and writeProblem
    // is ChangedSinceRead. After a write, identity describes the file as
    // written, so the same record can be written again.
    int Write();
    WriteProblem writeProblem = WriteProblem::None;
    // With WriteProblem::Failed: the errno of the call that failed (a full
    // disk, a read-only file), or 0 when no call failed.
    int writeErrno = 0;
    // After a write that put a new file in the old one's place (the tag
    // grew): how many other names (hard links) the old file had. They name
    // the old file still, with its old tags.
    int namesLeftOnOld = 0;
    // What Write puts at the start of the file as the record stands:
    // bytes (header, frames, padding; empty when Write would fail whatever
    // the file holds) and whether they go into the space of the old tag
    // (else the audio moves into a new file behind them). An undo journal
    // compares them with the old tag before the write.
    struct Planned {
        QByteArray bytes;
        bool inPlace = false;
        QByteArray remainder; // the unparsed bytes that go back
        // Where bytes start in the file: 0 but for an in-place plan cut
        // down to what differs from the region the file holds.
        qint64 offset = 0;
        // The path must name the file itself: a symbolic link there fails
        // the write with ELOOP before anything is written.
        bool noLink = false;

        // Keeps of an in-place plan only the bytes that differ from region,
        // the ID3v2 region the file holds now (the header when none do, so
        // that the file is still written): a title change writes the title,
        // not the cover. The file must be unchanged from region when it is
        // written, which Write's identity check makes sure of.
        void keepChangesFrom(QByteArrayView region);
    };
    Planned PlanWrite() const;
    // Write with the plan that PlanWrite gave for the record as it stands,
    // without making it again; the record must not have changed since, but
    // for its frames, which the plan holds and which may be dropped.
    int Write(const Planned& plan);

    // Bytes from the start of the file that hold the ID3v2 tag read
    // (header, frames, padding, footer); 0 when there is none.
    qint64 regionSize = 0;
    // Set by Read: why it failed, the file it opened (to tell later whether
    // the path still names it unchanged) and whether MPEG audio follows the
    // tag.
    ReadProblem problem = ReadProblem::None;
    int openErrno = 0; // the system's reason for CannotOpen, when it gave one
    FileIdentity identity;
    AudioContent content;

private:
    bool readRefused = false; // the last Read refused the tag
    // The record as a Read that could not open its file leaves it.
    void forgetRead();
    // Takes over start, the bytes from the start of the file.
    int ReadV2(QByteArray start, qint64 fileSize);
};
