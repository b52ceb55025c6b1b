#include "apply/filedigest.h"
#include "apply/originalbytes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The one read that gives the journal a file's digest, its ID3v2 region and
// its ID3v1 block, compared with reading each on its own.
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
        QTest::newRow("TAG not at the end") << tag + v1() + filler(10, 8) << 510 << false;
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
        const FileDigest separate = DigestFile(path);
        QCOMPARE(o.digest.size, content.size());
        QCOMPARE(o.digest.digest, separate.digest);
        QCOMPARE(o.digest.mtimeNs, separate.mtimeNs);
        QCOMPARE(o.head, content.left(headSize));
        QCOMPARE(o.v1, hasV1 ? content.right(128) : QByteArray());
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
