#include "apply/contentprint.h"
#include "apply/filedigest.h"
#include "apply/originalbytes.h"
#include "apply/savedregion.h"
#include "tags/taginfo.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

// The reads that give the journal a file's print, its ID3v2 region and its
// ID3v1 block, compared with taking each from the whole content.
namespace {

// A version 3 header whose size field says body bytes follow.
QByteArray header(qint64 body) {
    QByteArray h("ID3\x03\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        h += char((body >> shift) & 0x7f);
    return h;
}

QByteArray filler(qint64 size, char seed) {
    QByteArray b(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        b[i] = char(seed + i * 13);
    return b;
}

QByteArray v1() {
    return "TAG" + QByteArray(125, 'v');
}

QByteArray frame(const QByteArray& id, const QByteArray& body) {
    QByteArray f = id;
    for (int shift = 24; shift >= 0; shift -= 8)
        f += char(body.size() >> shift);
    return f + QByteArray(2, '\0') + body;
}

// A version 3 tag of frames, padded to size bytes in all.
QByteArray tagOf(const QList<QByteArray>& frames, qint64 size) {
    QByteArray body = frames.join();
    body.append(size - 10 - body.size(), '\0');
    return header(body.size()) + body;
}

// The file after a write cut off part way: each 4 KiB page of the region
// holds the written bytes where mask says so (cycled), else the original.
QByteArray mixed(const QByteArray& original, const QByteArray& written, const QString& mask) {
    QByteArray file = original;
    for (qint64 page = 0; page * 4096 < written.size(); ++page) {
        if (mask[page % mask.size()] == '1')
            file.replace(page * 4096, std::min<qint64>(4096, written.size() - page * 4096),
                         written.mid(page * 4096, 4096));
    }
    return file;
}

} // namespace

class TestOriginalBytes : public QObject {
    Q_OBJECT
private slots:
    void matchesSeparateReads_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("headSize");
        QTest::addColumn<bool>("hasV1");
        const QByteArray tag = header(500) + filler(500, 1);
        // A region that ends past the first 1 MB read, and a file whose last
        // read is shorter than the ID3v1 block.
        const QByteArray bigTag = header(1500000) + filler(1500000, 2);
        QTest::newRow("tag, audio, v1") << tag + filler(4000, 3) + v1() << 510 << true;
        QTest::newRow("tag and audio") << tag + filler(4000, 3) << 510 << false;
        QTest::newRow("no tag") << filler(3000, 4) << 0 << false;
        QTest::newRow("only a v1 block") << v1() << 0 << true;
        QTest::newRow("shorter than a header") << QByteArray("ID3") << 0 << false;
        QTest::newRow("empty") << QByteArray() << 0 << false;
        QTest::newRow("tag past the end") << header(9000) + filler(100, 5) << 110 << false;
        QTest::newRow("region over two reads") << bigTag + filler(1000, 6) << 1500010 << false;
        QTest::newRow("v1 across two reads") << filler((1 << 20) - 60, 7) + v1() << 0 << true;
        // Read whole at once: front and back are cut from one buffer.
        QTest::newRow("small file, tag past 16 KiB")
            << header(20000) + filler(20000, 10) + filler(30000, 11) + v1() << 20010 << true;
        QTest::newRow("read whole, 64 KiB")
            << tag + filler((64 << 10) - 510 - 128, 12) + v1() << 510 << true;
        QTest::newRow("one byte over 64 KiB")
            << tag + filler((64 << 10) - 510 - 127, 13) + v1() << 510 << true;
        QTest::newRow("TAG not at the end") << tag + v1() + filler(10, 8) << 510 << false;
        // Tags the reader takes apart otherwise: a footer, unsynchronisation,
        // an extended header, a version it refuses.
        const auto flagged = [&](char major, char flags) {
            QByteArray h = header(500);
            h[3] = major;
            h[5] = flags;
            return h + filler(500, 1);
        };
        QTest::newRow("v2.4 footer")
            << flagged(4, 0x10) + "3DI\x04\x00\x10" + header(500).mid(6) + filler(4000, 3) + v1()
            << 520 << true;
        QTest::newRow("unsynchronised") << flagged(3, char(0x80)) + filler(4000, 3) << 510 << false;
        QTest::newRow("extended header") << flagged(3, 0x40) + filler(4000, 3) << 510 << false;
        QTest::newRow("version 2.5") << flagged(5, 0) + filler(4000, 3) + v1() << 510 << true;
    }
    void matchesSeparateReads() {
        QFETCH(QByteArray, content);
        QFETCH(int, headSize);
        QFETCH(bool, hasV1);
        QTemporaryDir dir;
        const QString path = dir.filePath("f.mp3");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(content), content.size());
        f.close();

        const OriginalBytes o = ReadOriginalBytes(path);
        QVERIFY(o.digest.ok);
        QCOMPARE(o.digest.size, content.size());
        QCOMPARE(o.digest.digest, PrintOfContent(content));
        QCOMPARE(o.digest.mtimeNs, DigestFile(path).mtimeNs);
        QCOMPARE(o.head, content.left(headSize));
        QCOMPARE(o.v1, hasV1 ? content.right(128) : QByteArray());

        // The print once another region of the same length is written over
        // the old one, known without reading the file again; a region of
        // another length covers other bytes, and gives none.
        QByteArray region = content.left(std::min(headSize, 10));
        region += filler(headSize - region.size(), 9);
        QCOMPARE(o.printWithRegion(region), PrintOfContent(region + content.mid(headSize)));
        if (headSize > 10)
            QVERIFY(o.printWithRegion(region.chopped(1)).isEmpty());

        // Read with the tag record, the same bytes give the record a read of
        // the file gives.
        TagInfo alone, withBytes;
        const int readResult = alone.Read(path);
        int result = -2;
        AudioContent judged;
        judged.mpeg = true;
        const OriginalBytes both = ReadOriginalBytes(path, withBytes, result, judged);
        QCOMPARE(both.digest.digest, o.digest.digest);
        QCOMPARE(both.head, o.head);
        QCOMPARE(result, readResult);
        QCOMPARE(withBytes.hasV1, alone.hasV1);
        QCOMPARE(withBytes.hasV2, alone.hasV2);
        QCOMPARE(withBytes.regionSize, alone.regionSize);
        QCOMPARE(withBytes.identity, alone.identity);
        QCOMPARE(withBytes.PlanWrite().bytes, alone.PlanWrite().bytes);
        QCOMPARE(withBytes.content.mpeg, result >= 0);
    }

    // The bytes a print read serve later reads of the same file (undo's
    // check of the original), where one part holds them whole.
    void printedPartsServeReads_data() {
        QTest::addColumn<qint64>("audio"); // after a 30,010-byte region
        QTest::addColumn<qint64>("at");    // negative: from the end
        QTest::addColumn<qint64>("count");
        QTest::addColumn<bool>("held");
        QTest::newRow("header") << qint64(200000) << qint64(0) << qint64(10) << true;
        QTest::newRow("first block of the audio")
            << qint64(200000) << qint64(30010) << qint64(4096) << true;
        QTest::newRow("past the first block")
            << qint64(200000) << qint64(30010 + 4095) << qint64(2) << false;
        QTest::newRow("middle of the audio")
            << qint64(200000) << qint64(130000) << qint64(1) << false;
        QTest::newRow("last block and ID3v1")
            << qint64(200000) << qint64(-4224) << qint64(4224) << true;
        QTest::newRow("into the last block")
            << qint64(200000) << qint64(-4225) << qint64(2) << false;
        QTest::newRow("short file: all of it")
            << qint64(3000) << qint64(0) << qint64(33138) << true;
        // 6,000 bytes of audio: the parts meet at 34,106
        QTest::newRow("parts that meet: across them")
            << qint64(6000) << qint64(34100) << qint64(10) << false;
        QTest::newRow("parts that meet: the second")
            << qint64(6000) << qint64(34106) << qint64(2032) << true;
        QTest::newRow("beyond the end") << qint64(200000) << qint64(-10) << qint64(20) << false;
    }
    void printedPartsServeReads() {
        QFETCH(qint64, audio);
        QFETCH(qint64, at);
        QFETCH(qint64, count);
        QFETCH(bool, held);
        const QByteArray content = header(30000) + filler(30000, 1) + filler(audio, 2) + v1();
        QTemporaryDir dir;
        QFile f(dir.filePath("f.mp3"));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QCOMPARE(f.write(content), content.size());
        QVERIFY(f.flush());
        const PrintedFile printed = PrintOpenFile(f.handle());
        QVERIFY(printed.digest.ok);
        const qint64 offset = at < 0 ? content.size() + at : at;
        QByteArray out(count, '#');
        QCOMPARE(printed.copyOut(offset, count, out.data()), held);
        QCOMPARE(out, held ? content.mid(offset, count) : QByteArray(count, '#'));
    }

    // What a print sees: every byte of the ID3v2 region, the first block of
    // the audio, its last block with an ID3v1 block, and the size. A byte in
    // the audio between those blocks is not seen (Apply and undo never
    // write there; docs/dev/choices.md).
    void printCovers_data() {
        QTest::addColumn<qint64>(
            "at"); // from the start; negative: from the end; 0, -1: a byte added
        QTest::addColumn<bool>("seen");
        // A 30,010-byte region, 200,000 bytes of audio, an ID3v1 block.
        QTest::newRow("tag header") << qint64(3) << true;
        QTest::newRow("middle of the tag") << qint64(15000) << true;
        QTest::newRow("last byte of the tag") << qint64(30009) << true;
        QTest::newRow("first byte of the audio") << qint64(30010) << true;
        QTest::newRow("end of the first block") << qint64(30010 + 4095) << true;
        QTest::newRow("after the first block") << qint64(30010 + 4096) << false;
        QTest::newRow("middle of the audio") << qint64(130000) << false;
        QTest::newRow("before the last block") << qint64(-128 - 4097) << false;
        QTest::newRow("start of the last block") << qint64(-128 - 4096) << true;
        QTest::newRow("ID3v1 block") << qint64(-60) << true;
        QTest::newRow("one byte more at the end") << qint64(0) << true;
        QTest::newRow("one byte more in the middle") << qint64(-1) << true;
    }
    void printCovers() {
        QFETCH(qint64, at);
        QFETCH(bool, seen);
        const QByteArray content = header(30000) + filler(30000, 1) + filler(200000, 2) + v1();
        QByteArray changed = content;
        if (at == 0)
            changed.append('x');
        else if (at == -1)
            changed.insert(130000, 'x'); // only the size tells
        else
            changed[at < 0 ? changed.size() + at : at] ^= 0x55;
        QCOMPARE(PrintOfContent(changed) != PrintOfContent(content), seen);
        // Served in pieces (a file rebuilt from the journal), the same print.
        const QByteArray print = PrintOfReader(changed.size(), [&](qint64 o, qint64 n, char* out) {
            std::memcpy(out, changed.constData() + o, size_t(n));
            return true;
        });
        QCOMPARE(print, PrintOfContent(changed));
    }

    // The journal keeps of the original tag only what the written tag does
    // not hold; the rest comes back from the file, whatever a write cut off
    // part way (or an undo cut off part way) left in each page of it.
    void savedRegion_data() {
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<bool>("inPlace");
        // Which pages hold the written bytes, cycled ("x": other bytes).
        QTest::addColumn<QString>("pages");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<int>("mostKept"); // bytes the journal may keep

        const QByteArray cover = frame("APIC", "\0image/png\0\x03\0" + filler(20000, 7));
        const QByteArray title = frame("TIT2", QByteArray("\0Old title")),
                         artist = frame("TPE1", QByteArray("\0Artist"));
        const QByteArray longTitle = frame("TIT2", "\0" + QByteArray(300, 'n'));
        const QByteArray before = tagOf({artist, title, cover}, 24000);
        // As Apply writes it: the frames it sets after the others.
        const QByteArray after = tagOf({cover, artist, longTitle}, 24000);
        const QByteArray coverFirst = tagOf({cover, artist, title}, 24000);
        QTest::newRow("in place, all written") << before << after << true << "1" << true << 4500;
        QTest::newRow("in place, nothing written")
            << before << after << true << "0" << true << 4500;
        QTest::newRow("in place, cut after two pages")
            << before << after << true << "1100000" << true << 4500;
        QTest::newRow("in place, every other page")
            << before << after << true << "10" << true << 4500;
        QTest::newRow("in place, cover moves back")
            << coverFirst << tagOf({longTitle, cover, artist}, 24000) << true << "01" << true
            << 6000;
        QTest::newRow("in place, then another tag")
            << before << after << true << "x" << false << 4500;
        QTest::newRow("grown, written")
            << before << tagOf({cover, artist, longTitle}, 30000) << false << "1" << true << 4500;
        QTest::newRow("grown, not yet")
            << before << tagOf({cover, artist, longTitle}, 30000) << false << "0" << true << 4500;
        QTest::newRow("cover removed: kept whole")
            << before << tagOf({longTitle}, 24000) << true << "10" << true << 24000;
    }
    void savedRegion() {
        QFETCH(QByteArray, original);
        QFETCH(QByteArray, written);
        QFETCH(bool, inPlace);
        QFETCH(QString, pages);
        QFETCH(bool, restored);
        QFETCH(int, mostKept);
        const SavedRegion saved = SaveRegion(original, written, inPlace);
        QVERIFY2(saved.storedSize() <= mostKept, qPrintable(QString::number(saved.storedSize())));
        // What undo finds: the region, the audio after it.
        const QByteArray audio = filler(9000, 5);
        QByteArray file = inPlace ? mixed(original + audio, written + audio, pages)
                                  : (pages == "1" ? written : original) + audio;
        if (pages == "x")
            file = QByteArray(written.size(), 'x') + audio;
        // Read back from the journal's byte file.
        SavedRegion kept;
        kept.size = saved.size;
        kept.refs = saved.refs;
        kept.inPlace = saved.inPlace;
        QVERIFY(kept.takeStored(saved.stored()));
        QByteArray digests;
        const std::optional<QByteArray> back = RestoreRegion(
            kept, QByteArrayView(file).first(std::min(file.size(), kept.fileBytesNeeded())),
            &digests);
        QCOMPARE(back.has_value(), restored);
        if (restored) {
            QCOMPARE(*back, original);
            QCOMPARE(digests, RegionPageDigests(original)); // what the print of the file takes
        }
    }

    void unreadable() {
        QTemporaryDir dir;
        QVERIFY(!ReadOriginalBytes(dir.filePath("missing.mp3")).digest.ok);
        QVERIFY(!ReadOriginalBytes(dir.path()).digest.ok); // a folder
    }

    // New digests are XXH3-128; a 32-byte digest from an earlier journal is
    // checked with BLAKE2b-256, the hash it was made with.
    void digestKinds() {
        const QByteArray data = filler(70000, 9);
        ContentHash fresh;
        fresh.addData(data);
        QCOMPARE(fresh.result().size(), ContentHash::DigestSize);
        ContentHash split;
        split.addData(data.left(123));
        split.addData(data.mid(123));
        QCOMPARE(split.result(), fresh.result());
        ContentHash legacy(ContentHash::LegacyDigestSize);
        legacy.addData(data);
        QCOMPARE(legacy.result(), QCryptographicHash::hash(data, QCryptographicHash::Blake2b_256));
        ContentHash other;
        other.addData(QByteArray(data).replace(69999, 1, "!"));
        QVERIFY(other.result() != fresh.result());
    }
};

QTEST_GUILESS_MAIN(TestOriginalBytes)
#include "test_originalbytes.moc"
