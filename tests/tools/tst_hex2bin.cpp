// Intel HEX to image: literal files with the image or the empty result they give and the
// warnings they leave, and generated files against the generator's bytes.

#include "hex2bin.h"
#include "tst_fwFixture.h"
#include "ui_fwUpdateForm.h"  // generated for this test; the fixture reads the form

#include <QRandomGenerator>

namespace {

// Warnings, and the address map of a file without end record, as they reach the logger.
QStringList& captured()
{
    static QStringList lines;
    return lines;
}

void capture(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtWarningMsg || (type == QtDebugMsg && text.startsWith("QMap(")))
        captured() << text;
}

}  // namespace

class tst_hex2bin : public QObject {
    Q_OBJECT
private slots:
    void literalFiles_data();
    void literalFiles();
    void generatedFiles_data();
    void generatedFiles();
};

void tst_hex2bin::literalFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("image");  // hexadecimal
    QTest::addColumn<QStringList>("logged");

    const QByteArray r1 = ":0400000001020304F2";  // 01 02 03 04 at 0
    const QByteArray r2 = ":0400040005060708DE";  // 05 06 07 08 at 4
    const QByteArray end = ":00000001FF";
    const QByteArray high = ":04FFFC00A1A2A3A477";  // A1..A4 at FFFC, up to 64 KiB
    const QString gap = "hex record at 0x%1 does not continue 0x%2";
    auto row = [](const char* tag, const QByteArray& file, const char* image, QStringList logged = {}) {
        QTest::newRow(tag) << file << QByteArray(image) << logged;
    };

    row("contiguous", r1 + "\n" + r2 + "\n" + end + "\n", "0102030405060708");
    row("02 base across 64 KiB", high + "\n:020000021000EC\n:02000000B1B29B\n" + end, "a1a2a3a4b1b2");
    row("04 base across 64 KiB", high + "\n:020000040001F9\n:02000000B1B29B\n" + end, "a1a2a3a4b1b2");
    row("03 sets no base", r1 + "\n:0400000300001000E9\n" + r2 + "\n" + end, "0102030405060708");
    row("CR LF", r1 + "\r\n" + r2 + "\r\n" + end + "\r\n", "0102030405060708");
    row("CR alone", r1 + "\r" + r2 + "\r" + end + "\r", "0102030405060708");
    row("lower case", QByteArray(r1).toLower() + "\n" + QByteArray(r2).toLower() + "\n" + end, "0102030405060708");
    row("blank and other lines", "\n; comment\n" + r1 + "\n\n  \nxyz\n" + r2 + "\n" + end, "0102030405060708");
    row("text after NUL", r1 + "\n" + QByteArray(1, '\0') + r2 + "\n" + end, "01020304",
        {"QMap((0, \"\\x01\\x02\\x03\\x04\"))"});
    row("records after the end", r1 + "\n" + end + "\n" + r2 + "\n:0400000501020304ED\n", "01020304");
    row("no end record", r1 + "\n" + r2 + "\n", "0102030405060708",
        {"QMap((0, \"\\x01\\x02\\x03\\x04\")(4, \"\\x05\\x06\\x07\\b\"))"});
    row("gap", r1 + "\n:02001000090ADB\n" + end, "01020304090a", {gap.arg("00000010", "00000004")});
    row("disorder", r2 + "\n" + r1 + "\n" + end, "0506070801020304", {gap.arg("00000000", "00000008")});
    row("overlap", r1 + "\n:020002001112D9\n" + end, "010203041112", {gap.arg("00000002", "00000004")});
    row("type 05", r1 + "\n:0400000500001000E7\n" + end, "", {"Unsupported record type: 5"});
    row("wrong checksum digit", r1 + "\n:0400040005060708DF\n" + end, "",
        {"Checksum error at line: :0400040005060708DF"});
    row("short line", r1 + "\n:04000400050607\n" + end, "");
    row("count not hex", ":G400000001020304F2\n" + end, "");
    row("address not hex", ":04000X0001020304F2\n" + end, "");
    row("type not hex", ":040000G001020304F2\n" + end, "");
    row("data not hex", ":04000000010203G4F2\n" + end, "");
    row("checksum not hex", ":0400000001020304FG\n" + end, "");
    row("02 with bad digits", r1 + "\n:020000021G00EC\n" + end, "");
    row("04 with bad digits", r1 + "\n:0200000400X1F9\n" + end, "");
    row("04 with no digits", r1 + "\n:00000004FC\n" + end, "");
    row("empty file", "", "", {"QMap()"});
}

void tst_hex2bin::literalFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, image);
    QFETCH(QStringList, logged);
    captured().clear();
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    const QByteArray result = hex2bin::hexToBin(file);
    qInstallMessageHandler(previous);
    QCOMPARE(result.toHex(), image);
    QCOMPARE(captured(), logged);
}

void tst_hex2bin::generatedFiles_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("lineEnd");
    for (int size : {1, 1000, 0x10000 + 40})
        for (const char* end : {"\n", "\r\n", "\r"})
            QTest::addRow("%d bytes, %s", size, QByteArray(end).toHex().constData()) << size << QByteArray(end);
}

void tst_hex2bin::generatedFiles()
{
    QFETCH(int, size);
    QFETCH(QByteArray, lineEnd);
    QRandomGenerator random{quint32(size)};
    QByteArray image(size, '\0');
    for (char& c : image)
        c = char(random.bounded(256));
    captured().clear();
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    const QByteArray result = hex2bin::hexToBin(fwFixture::hexFileOf(image, lineEnd));
    qInstallMessageHandler(previous);
    QCOMPARE(result, image);
    QVERIFY(captured().isEmpty());
}

TACTILE_TEST_MAIN(tst_hex2bin)
#include "tst_hex2bin.moc"
