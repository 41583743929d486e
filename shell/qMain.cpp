#include "qMain.h"

#include "Widget.h"
#include "simulatedBus.h"
#include "class_settings.h"
#include "quitSignals.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace {
// Qt's catalogue of its widgets' texts for the Chinese interface.
const char* const kQtChinese = "qtbase_zh_CN";
}  // namespace

bool installLanguage(QTranslator& translator)
{
    const QString language = class_settings::get("language", "zh_cn", "config");
    if (language == "en" && !translator.load(":/en.qm"))
        qDebug() << "load trans err";
    if (translator.isEmpty())
        return false;
    if (!QCoreApplication::installTranslator(&translator)) {
        qDebug() << "install trasn err";
        return false;
    }
    qDebug() << "load trans success";
    return true;
}

QString qtTranslationsFolder()
{
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
}

bool installQtLanguage(QTranslator& translator, bool english, const QString& folder)
{
    if (english)
        return true;  // Qt's own texts are English
    const QString name = QString::fromLatin1(kQtChinese);
    if (!translator.load(name, folder)) {
        qDebug().noquote() << "Qt translation not found:" << QDir(folder).filePath(name + ".qm")
                           << "(install qttranslations5-l10n); Qt's dialogs and buttons stay in English";
        return false;
    }
    if (!QCoreApplication::installTranslator(&translator)) {
        qDebug() << "install Qt translation err";
        return false;
    }
    return true;
}

int qMain(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    QApplication app(argc, argv);
    // Asked to end by a signal, the program ends as when its window is closed: the worker stops
    // and every log is closed.
    quitSignals::install(&app, [] { QCoreApplication::quit(); });
    Q_INIT_RESOURCE(translations);
    QTranslator translator;  // lives until the program ends
    QTranslator qtTranslator;
    // Qt's own dialogs follow the language the interface got.
    installQtLanguage(qtTranslator, installLanguage(translator));

    // The bridges this platform offers: the simulated bus TACTILE_SIM_BUS describes, if any.
    installSimulatedBusFromEnvironment();

    auto window = std::make_unique<Widget>();
    window->show();
    const int code = app.exec();
    window.reset();
    return code;
}
