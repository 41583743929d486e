// The type catalogue and the data-frame decoder: what each frame turns into, what is refused, and
// that no frame, however wrong, makes the decoder read outside it.

#include "catalogueFrames.h"
#include "class_finger.h"
#include "fingerParams.h"
#include "simFrame.h"
#include "testMain.h"

#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QVariant>
#include <QWidget>
#include <functional>

namespace {

// A view that writes down every setter call as text, in call order.
class RecordingView : public QWidget, public class_finger {
public:
    explicit RecordingView(uint8_t prg) : QWidget(nullptr), class_finger(prg, this) {}
    using class_finger::useRecord;

    QStringList calls;

    void setData(uint8_t ch, uint32_t v) override { add("data", {ch, v}); }
    void setTouchState(uint8_t ch, bool t) override { add("touch", {ch, int(t)}); }
    void setPress(uint8_t ch, float v, float fs) override { add("press", {ch, v, fs}); }
    void setPressNList(QVector<float> v, float fs) override { add("pressN", {v.size(), fs}); }
    void setYdds(uint8_t k, float n, float t, uint16_t d) override { add("ydds", {k, n, t, d}); }
    void setSProx(uint8_t ch, uint32_t v) override { add("sprox", {ch, v}); }
    void setMProx(uint8_t ch, uint32_t v) override { add("mprox", {ch, v}); }
    void setErrCode(uint8_t code) override { add("err", {code}); }

    QStringList kinds() const
    {
        QStringList out;
        for (const QString& c : calls)
            out << c.section(' ', 0, 0);
        return out;
    }

private:
    void add(const char* kind, std::initializer_list<QVariant> args)
    {
        QString text = kind;
        for (const QVariant& a : args)
            text += ' ' + (a.type() == QVariant::Double || int(a.type()) == QMetaType::Float
                               ? QString::number(a.toDouble())
                               : a.toString());
        calls << text;
    }
};

bool containsRun(const QStringList& list, const QStringList& run)
{
    if (run.isEmpty())
        return true;
    for (int i = 0; i + run.size() <= list.size(); ++i)
        if (list.mid(i, run.size()) == run)
            return true;
    return false;
}

bool containsRun(const QVector<QString>& list, const QStringList& run)
{
    return containsRun(QStringList(list.toList()), run);
}

const finger_param_ts& record(uint8_t prg)
{
    const finger_param_ts* r = findFingerParam(prg);
    Q_ASSERT(r);
    return *r;
}

QByteArray frameWith(uint8_t prg, const std::function<void(sim::FrameValues&)>& edit)
{
    sim::FrameValues v = catalogueFrames::sampleValues(record(prg));
    edit(v);
    return catalogueFrames::frameFor(prg, v, 9);
}

QByteArray patched(QByteArray frame, int offset, const QByteArray& bytes, bool closeSum = true)
{
    frame.replace(offset, bytes.size(), bytes);
    if (closeSum)
        sim::closeWithSum(frame);
    return frame;
}

// Every distinct type code of the catalogue, first record only.
QVector<uint8_t> catalogueTypes()
{
    QVector<uint8_t> types;
    for (const finger_param_ts& p : fingerParams)
        if (!types.contains(uint8_t(p.prg)))
            types << uint8_t(p.prg);
    return types;
}

}  // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void init() { WarningRecorder::clear(); }

    void realCatalogueRaisesNoWarning();
    void lookup_data();
    void lookup();
    void typeWithoutRecord_data();
    void typeWithoutRecord();
    void edgeCases_data();
    void edgeCases();
    void everyCatalogueType_data();
    void everyCatalogueType();
    void setterOrder_data();
    void setterOrder();
    void sensorsOwnRecord();
    void pointTexts_data();
    void pointTexts();
    void malformedRecords_data();
    void malformedRecords();
    void randomBytesNeverCrash();
};

void TestDecoder::realCatalogueRaisesNoWarning()
{
    for (const uint8_t prg : catalogueTypes())
        RecordingView view(prg);
    QCOMPARE(WarningRecorder::warnings().size(), 0);
}

void TestDecoder::lookup_data()
{
    QTest::addColumn<int>("prg");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("packLen");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("first record") << 2 << 0 << 62 << 22;
    QTest::newRow("113") << 113 << 3 << 62 << 22;
    QTest::newRow("43, 53 channels") << 43 << 24 << 189 << 6;
    QTest::newRow("60") << 60 << 42 << 39 << 6;
    QTest::newRow("99 twice, first wins") << 99 << 35 << 66 << 6;
    QTest::newRow("100 twice, first wins") << 100 << 36 << 36 << 6;
    QTest::newRow("108 twice, first wins") << 108 << 34 << 36 << 6;
    QTest::newRow("last record") << 110 << 75 << 57 << 6;
}

void TestDecoder::lookup()
{
    QFETCH(int, prg);
    QFETCH(int, row);
    QFETCH(int, packLen);
    QFETCH(int, pointSize);
    QWidget owner;
    class_finger f(uint8_t(prg), &owner);
    QCOMPARE(int(f.paramIdx), row);
    QCOMPARE(f.fingerParam, &fingerParams[row]);
    QCOMPARE(int(f.fingerParam->packLen), packLen);
    QCOMPARE(int(f.yddsSize), pointSize);
    QCOMPARE(f.widget, &owner);
    QCOMPARE(int(f.seq), 0);
    QVERIFY(f.dataList.isEmpty());
    QCOMPARE(WarningRecorder::warnings().size(), 0);
}

void TestDecoder::typeWithoutRecord_data()
{
    QTest::addColumn<int>("prg");
    QTest::addColumn<QString>("warningText");
    QTest::newRow("102") << 102 << QString("未识别传感器类型102");
    QTest::newRow("103") << 103 << QString("未识别传感器类型103");
    QTest::newRow("111") << 111 << QString("未识别传感器类型111");
    QTest::newRow("255: not reported, no lookup") << 255 << QString();
}

void TestDecoder::typeWithoutRecord()
{
    QFETCH(int, prg);
    QFETCH(QString, warningText);
    if (!warningText.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, "not found finger prg");
    RecordingView f{uint8_t(prg)};
    QCOMPARE(f.widget, static_cast<QWidget*>(&f));
    QCOMPARE(int(f.paramIdx), 255);
    QVERIFY(!f.fingerParam);
    const QVector<QPair<QString, QString>> expected =
        warningText.isEmpty() ? QVector<QPair<QString, QString>>()
                              : QVector<QPair<QString, QString>>{{QString("传感器类型错误"), warningText}};
    QCOMPARE(WarningRecorder::warnings(), expected);

    // Neither a frame of a known type nor rubbish is decoded, and nothing is called.
    QCOMPARE(f.parseData(catalogueFrames::sampleFrame(20)), int(class_finger::NoRecord));
    QCOMPARE(f.parseData(QByteArray()), int(class_finger::NoRecord));
    QCOMPARE(f.selectRecord(255), false);
    QCOMPARE(f.selectRecord(102), false);
    QVERIFY(f.calls.isEmpty());
    QVERIFY(f.dataList.isEmpty());
}

void TestDecoder::edgeCases_data()
{
    QTest::addColumn<int>("prg");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("calls");     // must appear in this order, one after the other
    QTest::addColumn<QStringList>("dataTexts");  // likewise in dataList

    const QByteArray good20 = catalogueFrames::sampleFrame(20, 0, 9);
    const int point20 = 6 + 3 * 7;
    QByteArray sumOff = good20;
    sumOff[sumOff.size() - 1] = char(sumOff.at(sumOff.size() - 1) + 1);

    QTest::newRow("39 bytes to record 20") << 20 << catalogueFrames::sampleFrame(60) << 1
                                          << "len err:39,45" << QStringList() << QStringList();
    QTest::newRow("empty frame") << 20 << QByteArray() << 1 << "len err:0,45" << QStringList() << QStringList();
    QTest::newRow("one byte too many") << 20 << good20 + '\0' << 1 << "len err:46,45" << QStringList()
                                       << QStringList();
    QTest::newRow("last byte off by one") << 20 << sumOff << 2 << "chk err" << QStringList() << QStringList();
    QTest::newRow("byte 0 not 55") << 20 << patched(good20, 0, "\x56") << 2 << "chk err" << QStringList()
                                   << QStringList();
    QTest::newRow("byte 1 not AA") << 20 << patched(good20, 1, "\xAB") << 2 << "chk err" << QStringList()
                                   << QStringList();
    QTest::newRow("byte 3 not 85") << 20 << patched(good20, 3, "\x86") << 2 << "chk err" << QStringList()
                                   << QStringList();
    QTest::newRow("raw 1: touch, no force")
        << 20 << frameWith(20, [](sim::FrameValues& v) { v.channels[0] = 1; }) << 0 << QString()
        << QStringList{"data 0 1", "touch 0 1", "press 0 0 25"} << QStringList{"1"};
    QTest::newRow("raw 2: no touch, 0.002 N")
        << 20 << frameWith(20, [](sim::FrameValues& v) { v.channels[0] = 2; }) << 0 << QString()
        << QStringList{"data 0 2", "touch 0 0", "press 0 0.002 25"} << QStringList{"2"};
    QTest::newRow("raw 1001: touch, 1.001 N")
        << 20 << frameWith(20, [](sim::FrameValues& v) { v.channels[0] = 1001; }) << 0 << QString()
        << QStringList{"data 0 1001", "touch 0 1", "press 0 1.001 25"} << QStringList{"1001"};
    QTest::newRow("format 4 point E8 03 F4 01 5A 00")
        << 20 << patched(good20, point20, QByteArray::fromHex("E803F4015A00")) << 0 << QString()
        << QStringList{"ydds 0 10 5 90"} << QStringList{"10.00", "5.00", "90"};
    QTest::newRow("direction 400 passed on")
        << 20 << frameWith(20, [](sim::FrameValues& v) { v.points[1].direction = 400; }) << 0 << QString()
        << QStringList{"ydds 1 2.5 1 400"} << QStringList{"2.50", "1.00", "400"};
    QTest::newRow("4-byte value 2^31+5: signed text, no force")
        << 2 << frameWith(2, [](sim::FrameValues& v) { v.channels[0] = 0x80000005u; }) << 0 << QString()
        << QStringList{"data 0 2147483653", "touch 0 1", "press 0 0 20"} << QStringList{"-2147483643"};
    QTest::newRow("format 2 self proximity inside the point")
        << 2 << frameWith(2, [](sim::FrameValues& v) { v.sProx = {0x01020304}; }) << 0 << QString()
        << QStringList{"sprox 0 16909060"} << QStringList{"16909060"};
    QTest::newRow("24-bit proximity and status")
        << 17
        << frameWith(17,
                     [](sim::FrameValues& v) {
                         v.sProx = {0xFFFFFF, 0};
                         v.mProx = {0x123456};
                         v.status = 0xFE;
                     })
        << 0 << QString() << QStringList{"sprox 0 16777215", "sprox 1 0", "mprox 0 1193046", "err 254"}
        << QStringList{"16777215", "0", "1193046", "254"};
}

void TestDecoder::edgeCases()
{
    QFETCH(int, prg);
    QFETCH(QByteArray, frame);
    QFETCH(int, result);
    QFETCH(QString, log);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, dataTexts);

    RecordingView view{uint8_t(prg)};
    QVERIFY(view.fingerParam);
    // A decoded frame first, so that a rejected one can be seen to leave it in place.
    QCOMPARE(view.parseData(catalogueFrames::sampleFrame(uint8_t(prg), 3, 7)), 0);
    const QVector<QString> before = view.dataList;
    const QVector<QString> beforeStatus = view.statusList;
    view.calls.clear();
    QSignalSpy updates(&view.fingerSignals, &class_fingerSignals::si_dataUpdate);

    if (!log.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, log.toUtf8().constData());
    QCOMPARE(view.parseData(frame), result);
    if (result != 0) {
        QCOMPARE(view.dataList, before);
        QCOMPARE(view.statusList, beforeStatus);
        QCOMPARE(int(view.seq), 7);
        QVERIFY(view.calls.isEmpty());
        QCOMPARE(updates.count(), 0);
        return;
    }
    QCOMPARE(int(view.seq), 9);
    QCOMPARE(updates.count(), 1);
    QVERIFY2(containsRun(view.calls, calls), qPrintable(view.calls.join(" | ")));
    QVERIFY2(containsRun(view.dataList, dataTexts), qPrintable(QStringList(view.dataList.toList()).join(" ")));
}

void TestDecoder::everyCatalogueType_data()
{
    QTest::addColumn<int>("prg");
    for (const uint8_t prg : catalogueTypes())
        QTest::newRow(qPrintable(QString("type %1").arg(prg))) << int(prg);
}

void TestDecoder::everyCatalogueType()
{
    QFETCH(int, prg);
    const finger_param_ts& r = record(uint8_t(prg));
    const sim::FrameValues values = catalogueFrames::sampleValues(r, uint32_t(prg));
    const QByteArray frame = catalogueFrames::frameFor(uint8_t(prg), values, uint8_t(prg + 1), 0x21);
    QCOMPARE(frame.size(), int(r.packLen));

    RecordingView view{uint8_t(prg)};
    QSignalSpy updates(&view.fingerSignals, &class_fingerSignals::si_dataUpdate);
    QCOMPARE(view.parseData(frame), 0);
    QCOMPARE(updates.count(), 1);
    QCOMPARE(int(view.seq), prg + 1);

    const QVector<QString> texts = catalogueFrames::dataTexts(r, values);
    const int selfCount = r.yddsFormat == 2 ? 1 : r.sProxNum;
    const int statusCount = r.statusNum;
    QCOMPARE(texts.size(), r.chNum + 3 * r.yddsNum + selfCount + r.mProxNum + statusCount);
    QCOMPARE(view.dataList, texts);
    QCOMPARE(view.chDataList, texts.mid(0, r.chNum));
    QCOMPARE(view.yddsList.size(), int(r.yddsNum));
    for (int k = 0; k < r.yddsNum; ++k) {
        QCOMPARE(view.yddsList[k].normal, texts[r.chNum + 3 * k]);
        QCOMPARE(view.yddsList[k].tangential, texts[r.chNum + 3 * k + 1]);
        QCOMPARE(view.yddsList[k].direction, texts[r.chNum + 3 * k + 2]);
    }
    const int proxAt = r.chNum + 3 * r.yddsNum;
    QCOMPARE(view.sProxList, texts.mid(proxAt, selfCount));
    QCOMPARE(view.mProxList, texts.mid(proxAt + selfCount, r.mProxNum));
    QCOMPARE(view.proxList, texts.mid(proxAt, selfCount + r.mProxNum));
    QCOMPARE(view.statusList, texts.mid(proxAt + selfCount + r.mProxNum, statusCount));

    const QStringList kinds = view.kinds();
    QCOMPARE(kinds.count("data"), int(r.chNum));
    QCOMPARE(kinds.count("touch"), int(r.chNum));
    QCOMPARE(kinds.count("press"), int(r.pressNum));
    QCOMPARE(kinds.count("pressN"), 1);
    QCOMPARE(kinds.count("ydds"), int(r.yddsNum));
    QCOMPARE(kinds.count("sprox"), selfCount);
    QCOMPARE(kinds.count("mprox"), int(r.mProxNum));
    QCOMPARE(kinds.count("err"), statusCount);
    QVERIFY(view.calls.contains(QString("pressN %1 %2").arg(r.pressNum).arg(double(r.pressMax))));

    // The next frame replaces every list rather than adding to it.
    QCOMPARE(view.parseData(catalogueFrames::sampleFrame(uint8_t(prg), 1, 2)), 0);
    QCOMPARE(view.dataList.size(), texts.size());
    QCOMPARE(int(view.seq), 2);
}

void TestDecoder::setterOrder_data()
{
    QTest::addColumn<int>("prg");
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<int>("values");
    const auto times = [](const QStringList& run, int n) {
        QStringList out;
        for (int i = 0; i < n; ++i)
            out << run;
        return out;
    };
    const QStringList pressed{"data", "touch", "press"};
    const QStringList plain{"data", "touch"};
    QTest::newRow("type 17: 26 values") << 17
                                        << times(pressed, 13) + times(plain, 3) +
                                               QStringList{"pressN", "ydds", "ydds", "sprox", "sprox", "mprox", "err"}
                                        << 26;
    QTest::newRow("type 2: 12 values") << 2
                                       << times(pressed, 7) + times(plain, 1) + QStringList{"pressN", "ydds", "sprox"}
                                       << 12;
    QTest::newRow("type 31: no proximity")
        << 31 << times(pressed, 4) + QStringList{"pressN", "ydds", "err"} << 8;
}

void TestDecoder::setterOrder()
{
    QFETCH(int, prg);
    QFETCH(QStringList, kinds);
    QFETCH(int, values);
    RecordingView view{uint8_t(prg)};
    QCOMPARE(view.parseData(catalogueFrames::sampleFrame(uint8_t(prg))), 0);
    QCOMPARE(view.kinds(), kinds);
    QCOMPARE(view.dataList.size(), values);
}

void TestDecoder::sensorsOwnRecord()
{
    // Type 60 is shown by view 20, whose record describes 45-byte frames; a 60 sends 39.
    RecordingView view(20);
    const QByteArray frame60 = catalogueFrames::sampleFrame(60, 0, 4);
    QTest::ignoreMessage(QtDebugMsg, "len err:39,45");
    QCOMPARE(view.parseData(frame60), 1);

    QVERIFY(view.selectRecord(60));
    QCOMPARE(int(view.paramIdx), 42);
    QCOMPARE(view.fingerParam, findFingerParam(60));
    QCOMPARE(int(view.yddsSize), 6);
    QCOMPARE(view.parseData(frame60), 0);
    QCOMPARE(view.dataList, catalogueFrames::dataTexts(record(60), catalogueFrames::sampleValues(record(60))));

    // A code without a record keeps the record in use.
    QVERIFY(!view.selectRecord(111));
    QCOMPARE(view.fingerParam, findFingerParam(60));
    QCOMPARE(WarningRecorder::warnings().size(), 0);
}

void TestDecoder::pointTexts_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("point");  // the point record as sent
    QTest::addColumn<QStringList>("texts");  // normal, tangential, direction
    QTest::newRow("hundredths, zero") << 4 << QByteArray::fromHex("000000000000") << QStringList{"0.00", "0.00", "0"};
    QTest::newRow("hundredths, leading zero kept") << 4 << QByteArray::fromHex("05000a003b01")
                                                   << QStringList{"0.05", "0.10", "315"};
    QTest::newRow("hundredths, largest") << 4 << QByteArray::fromHex("d204ffffffff")
                                         << QStringList{"12.34", "655.35", "65535"};
    QTest::newRow("tenths") << 3 << QByteArray::fromHex("07ff5a00") << QStringList{"0.70", "25.50", "90"};
    QTest::newRow("floats rounded to two decimals")
        << 5 << QByteArray::fromHex("ae47813f" "250601be" "0e01")  // 1.01 and -0.126
        << QStringList{"1.01", "-0.13", "270"};
}

void TestDecoder::pointTexts()
{
    QFETCH(int, format);
    QFETCH(QByteArray, point);
    QFETCH(QStringList, texts);
    finger_param_ts r{200, 0, 0, 0, 1, 0, 0, 3, uint8_t(format), 0, 0, 10.0f, "test", "T-0"};
    r.packLen = uint16_t(layoutBytes(r, yddsPointSize(r.yddsFormat)));
    QCOMPARE(point.size(), int(yddsPointSize(r.yddsFormat)));
    RecordingView view(255);
    view.useRecord(r, 0);
    QCOMPARE(view.parseData(catalogueFrames::closedFrame(QByteArray(6, '\0') + point + QByteArray(2, '\0'))), 0);
    QCOMPARE(view.yddsList.size(), 1);
    const class_finger::ydds_str_ts& shown = view.yddsList.first();
    QCOMPARE((QStringList{shown.normal, shown.tangential, shown.direction}), texts);
}

void TestDecoder::malformedRecords_data()
{
    QTest::addColumn<int>("chNum");
    QTest::addColumn<int>("pressNum");
    QTest::addColumn<int>("yddsNum");
    QTest::addColumn<int>("sProxNum");
    QTest::addColumn<int>("chSize");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("packLenDelta");  // packLen = layout length + delta
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("kinds");

    QTest::newRow("no pressure channel: empty force list")
        << 2 << 0 << 1 << 2 << 3 << 4 << 0 << 0
        << QStringList{"data", "touch", "data", "touch", "pressN", "ydds", "sprox", "sprox", "err"};
    QTest::newRow("format 2 without a point: no self value to read")
        << 1 << 1 << 0 << 1 << 4 << 2 << 0 << 0 << QStringList{"data", "touch", "press", "pressN", "err"};
    QTest::newRow("unknown point format: points skipped")
        << 1 << 1 << 2 << 0 << 3 << 7 << 0 << 0 << QStringList{"data", "touch", "press", "pressN", "err"};
    QTest::newRow("frame length shorter than the layout") << 6 << 5 << 1 << 1 << 3 << 4 << -5 << 1 << QStringList();
    QTest::newRow("value width 5") << 2 << 2 << 0 << 0 << 5 << 4 << 0 << 1 << QStringList();
}

void TestDecoder::malformedRecords()
{
    QFETCH(int, chNum);
    QFETCH(int, pressNum);
    QFETCH(int, yddsNum);
    QFETCH(int, sProxNum);
    QFETCH(int, chSize);
    QFETCH(int, format);
    QFETCH(int, packLenDelta);
    QFETCH(int, result);
    QFETCH(QStringList, kinds);

    finger_param_ts r{200, 0, uint16_t(chNum), uint16_t(pressNum), uint16_t(yddsNum), uint16_t(sProxNum), 0,
                      uint8_t(chSize), uint8_t(format), 1, 0, 10.0f, "test", "T-0"};
    r.packLen = uint16_t(layoutBytes(r, yddsPointSize(r.yddsFormat)) + packLenDelta);
    RecordingView view(255);
    view.useRecord(r, 0);
    const QByteArray frame = catalogueFrames::closedFrame(QByteArray(r.packLen, '\x11'));
    if (result != 0)
        QTest::ignoreMessage(QtDebugMsg, "layout err:200");
    QCOMPARE(view.parseData(frame), result);
    QCOMPARE(view.kinds(), kinds);
    if (result == 0)
        QVERIFY(view.calls.contains(QString("pressN %1 10").arg(pressNum)));
}

void TestDecoder::randomBytesNeverCrash()
{
    // Thousands of refused frames would each log a line.
    QLoggingCategory::setFilterRules("default.debug=false");
    QRandomGenerator rng(20240611);
    for (const uint8_t prg : catalogueTypes()) {
        RecordingView view(prg);
        const finger_param_ts& r = record(prg);
        const int expectedValues = catalogueFrames::dataTexts(r, {}).size();
        for (int round = 0; round < 200; ++round) {
            // Any length, any bytes: refused without reading past the end.
            QByteArray junk(int(rng.bounded(2 * r.packLen + 2)), '\0');
            for (char& c : junk)
                c = char(rng.bounded(256));
            const int res = view.parseData(junk);
            QVERIFY(res == 0 || res == 1 || res == 2);

            // Right length, header and sum, random contents: decoded, every value accounted for.
            view.calls.clear();
            QCOMPARE(view.parseData(catalogueFrames::randomFrame(r.packLen, rng)), 0);
            QCOMPARE(view.dataList.size(), expectedValues);
        }
    }
    QLoggingCategory::setFilterRules(QString());
}

TACTILE_TEST_MAIN(TestDecoder)
#include "tst_decoder.moc"
