#include "jsonwriter.h"
#include "streamout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTest>

#include <cstdio>
#include <cstdlib>

// The JSON that show, preview and apply print without QJsonObject: strings
// in valid UTF-8 that QJsonDocument reads back as they were, the layout of
// QJsonDocument::Indented, and an array printed one element at a time.
class TestJsonOut : public QObject {
    Q_OBJECT
private slots:
    void escaping_data();
    void escaping();
    void latin1Escaping();
    void layoutOfQJsonDocument();
    void streamedArray_data();
    void streamedArray();
};

namespace {

QString units(std::initializer_list<char16_t> list) {
    QString s;
    for (char16_t u : list)
        s.append(QChar(u));
    return s;
}

QJsonValue parsedBack(const QByteArray& text) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson("[" + text + "]", &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << error.errorString() << text;
    return doc.array().at(0);
}

} // namespace

void TestJsonOut::escaping_data() {
    QTest::addColumn<QString>("text");
    QString controls;
    for (char16_t u = 0; u < 0x20; ++u)
        controls.append(QChar(u));
    QTest::newRow("empty") << "";
    QTest::newRow("quotes and backslashes") << R"(a "b" \c\ \\)";
    QTest::newRow("every control character") << controls;
    QTest::newRow("slash and DEL") << "a/b\x7f";
    QTest::newRow("Latin-1 and beyond") << QString::fromUtf8("Ärger ÿ € 日本");
    QTest::newRow("surrogate pair") << QString::fromUtf8("x😀y");
    QTest::newRow("line separators") << units({0x2028, 0x2029, 0xFEFF, 0xFFFF});
    // Lone surrogates go as escapes: a file name's byte that is no UTF-8.
    QTest::newRow("escaped byte of a file name") << units({'c', 'a', 'f', 0xDCE9});
    QTest::newRow("lone high surrogate") << units({'a', 0xD800, 'b'});
    QTest::newRow("high surrogate at the end") << units({'a', 0xDBFF});
    QTest::newRow("pair the wrong way round") << units({0xDC00, 0xD800});
    QTest::newRow("embedded zero") << units({'a', 0, 'b'});
}

void TestJsonOut::escaping() {
    QFETCH(QString, text);
    QByteArray out;
    JsonWriter::appendString(out, text);
    QStringDecoder strictUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    strictUtf8.decode(out);
    QVERIFY2(!strictUtf8.hasError(), out.constData());
    const QJsonValue back = parsedBack(out);
    QVERIFY(back.isString());
    QCOMPARE(back.toString(), text);
    // As a key, too.
    JsonWriter json;
    json.beginObject();
    json.key(text).number(1);
    json.endObject();
    QCOMPARE(QJsonDocument::fromJson(json.take()).object().keys(), QStringList{text});
}

void TestJsonOut::latin1Escaping() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QByteArray out;
    JsonWriter::appendString(out, QLatin1StringView(all));
    QCOMPARE(parsedBack(out).toString(), QString::fromLatin1(all));
}

// Members in sorted order, as the commands write them, come out as
// QJsonDocument printed the same object: the output of earlier versions.
void TestJsonOut::layoutOfQJsonDocument() {
    JsonWriter json;
    json.beginObject();
    json.key("empty array").beginArray();
    json.endArray();
    json.key("empty object").beginObject();
    json.endObject();
    json.key("list").stringArray({"a", "b"});
    json.key("nested").beginObject();
    json.key("deeper").beginArray();
    json.beginObject();
    json.key("n").number(-9007199254740993LL);
    json.endObject();
    json.boolean(false);
    json.endArray();
    json.endObject();
    json.key("yes").boolean(true);
    json.endObject();
    const QJsonObject expected{
        {"empty array", QJsonArray()},
        {"empty object", QJsonObject()},
        {"list", QJsonArray{"a", "b"}},
        {"nested",
         QJsonObject{{"deeper", QJsonArray{QJsonObject{{"n", -9007199254740993LL}}, false}}}},
        {"yes", true}};
    QCOMPARE(json.take() + '\n', QJsonDocument(expected).toJson(QJsonDocument::Indented));
}

void TestJsonOut::streamedArray_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("no file") << 0;
    QTest::newRow("one file") << 1;
    QTest::newRow("many files") << 300;
}

void TestJsonOut::streamedArray() {
    QFETCH(int, count);
    char* text = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    QVERIFY(stream);
    {
        JsonArrayOut array(stream);
        for (int i = 0; i < count; ++i) {
            JsonWriter json(1);
            json.beginObject();
            json.key("i").number(i);
            json.key("path").string(QStringLiteral("/m/\"%1\".mp3").arg(i));
            json.endObject();
            array.add(json.take());
        }
        array.finish();
    }
    std::fclose(stream);
    const QByteArray printed(text, qsizetype(size));
    std::free(text);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(printed, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(doc.isArray());
    const QJsonArray all = doc.array();
    QCOMPARE(all.size(), count);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(all[i].toObject()["i"].toInt(), i);
        QCOMPARE(all[i].toObject()["path"].toString(), QStringLiteral("/m/\"%1\".mp3").arg(i));
    }
}

QTEST_GUILESS_MAIN(TestJsonOut)
#include "test_json_out.moc"
