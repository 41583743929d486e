// The INI settings store: file naming, write-back on read, round trip, unwritable places.

#include "class_settings.h"
#include "testMain.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

QString appData()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

// What the file on disk holds, read past the store.
QVariant onDisk(const QString& fileName, const QString& key)
{
    QSettings ini(appData() + "/" + fileName, QSettings::IniFormat);
    return ini.value(key);
}

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void appDataIsInSandbox();
    void emptyFileNameMeansSettingIni();
    void freshReadStoresDefault();
    void storedValueWinsOverDefault();
    void roundTrip_data();
    void roundTrip();
    void unwritable_data();
    void unwritable();
};

void TestSettings::cleanup()
{
    // Undo what an unwritable case put in the way.
    QFileInfo folder(appData());
    if (folder.exists() && !folder.isDir())
        QFile::remove(appData());
    QDir(appData()).removeRecursively();
}

void TestSettings::appDataIsInSandbox()
{
    // The folder Qt derives from the executable's name, inside this run's temporary HOME/XDG.
    QVERIFY(appData().startsWith(qEnvironmentVariable("XDG_DATA_HOME") + "/"));
    QVERIFY(appData().endsWith("/" + QCoreApplication::applicationName()));
}

void TestSettings::emptyFileNameMeansSettingIni()
{
    QCOMPARE(class_settings::filePath(QString()), appData() + "/setting.ini");
    QCOMPARE(class_settings::filePath("config"), appData() + "/config.ini");

    QCOMPARE(class_settings::get("TCP/PORT", "", ""), QString());
    QVERIFY(QFileInfo::exists(appData() + "/setting.ini"));
    QSettings ini(appData() + "/setting.ini", QSettings::IniFormat);
    QVERIFY(ini.contains("TCP/PORT"));
    QCOMPARE(ini.value("TCP/PORT").toString(), QString());
}

void TestSettings::freshReadStoresDefault()
{
    QVERIFY(!QFileInfo::exists(appData() + "/config.ini"));
    QCOMPARE(class_settings::get("language", "zh_cn", "config"), QString("zh_cn"));
    QCOMPARE(onDisk("config.ini", "language").toString(), QString("zh_cn"));
    // The default file is not touched by a read of another file.
    QVERIFY(!QFileInfo::exists(appData() + "/setting.ini"));
}

void TestSettings::storedValueWinsOverDefault()
{
    class_settings::set("language", "en", "config");
    QCOMPARE(class_settings::get("language", "zh_cn", "config"), QString("en"));
    QCOMPARE(onDisk("config.ini", "language").toString(), QString("en"));
}

void TestSettings::roundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("diskName");
    QTest::newRow("section key, default file") << "TCP/IP" << "192.168.1.20" << "" << "setting.ini";
    QTest::newRow("port") << "TCP/PORT" << "19089" << "" << "setting.ini";
    QTest::newRow("Chinese path with spaces") << "UPDATE/FILE_PATH" << "/home/用户/固件 v2/app.hex" << ""
                                              << "setting.ini";
    QTest::newRow("plain key, own file") << "language" << "en" << "config" << "config.ini";
    QTest::newRow("empty value") << "language" << "" << "config" << "config.ini";
}

void TestSettings::roundTrip()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, file);
    QFETCH(QString, diskName);
    QCOMPARE(class_settings::set(key, value, file), value);
    QCOMPARE(class_settings::get(key, "default", file), value);
    QCOMPARE(onDisk(diskName, key).toString(), value);
}

void TestSettings::unwritable_data()
{
    QTest::addColumn<bool>("folderBlocked");
    QTest::newRow("a file where the folder belongs") << true;
    QTest::newRow("a folder where the file belongs") << false;
}

void TestSettings::unwritable()
{
    QFETCH(bool, folderBlocked);
    // Root may write anywhere, so the way is blocked by something in it rather than by permissions.
    if (folderBlocked) {
        QFile blocker(appData());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QDir().mkpath(class_settings::filePath("config")));
    }

    const QRegularExpression why("^settings not written:");
    QTest::ignoreMessage(QtDebugMsg, why);
    QCOMPARE(class_settings::get("language", "zh_cn", "config"), QString("zh_cn"));
    QTest::ignoreMessage(QtDebugMsg, why);
    QCOMPARE(class_settings::set("language", "en", "config"), QString("en"));
}

TACTILE_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
