#include "qMain.h"

#include "Widget.h"
#include "simulatedBus.h"
#include "class_settings.h"
#include "quitSignals.h"

#include <QApplication>
#include <QDebug>
#include <QTranslator>
#include <memory>

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
    installLanguage(translator);

    // The bridges this platform offers: the simulated bus TACTILE_SIM_BUS describes, if any.
    installSimulatedBusFromEnvironment();

    auto window = std::make_unique<Widget>();
    window->show();
    const int code = app.exec();
    window.reset();
    return code;
}
