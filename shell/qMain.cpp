#include "qMain.h"

#include "Widget.h"
#include "class_settings.h"

#include <QApplication>
#include <QDebug>
#include <QTranslator>
#include <memory>

int qMain(int argc, char** argv)
{
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    QApplication app(argc, argv);
    Q_INIT_RESOURCE(translations);
    QTranslator translator;

    const QString language = class_settings::get("language", "zh_cn", "config");
    if (language == "en" && !translator.load(":/en.qm"))
        qDebug() << "load trans err";
    if (!translator.isEmpty()) {
        if (app.installTranslator(&translator))
            qDebug() << "load trans success";
        else
            qDebug() << "install trasn err";
    }

    auto window = std::make_unique<Widget>();
    window->show();
    const int code = app.exec();
    window.reset();
    return code;
}
