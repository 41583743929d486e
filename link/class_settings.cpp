#include "class_settings.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char* const kDefaultFile = "setting";

// Writes now; a file that cannot be written is logged and the program carries on with the value.
void sync(QSettings& settings)
{
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qDebug() << "settings not written:" << settings.fileName() << settings.status();
}

}  // namespace

QString class_settings::filePath(const QString& file)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return dir + "/" + (file.isEmpty() ? QString(kDefaultFile) : file) + ".ini";
}

QString class_settings::get(const QString& key, const QString& def, const QString& file)
{
    const QString path = filePath(file);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings settings(path, QSettings::IniFormat);
    const QString value = settings.value(key, def).toString();
    settings.setValue(key, value);
    sync(settings);
    return value;
}

QString class_settings::set(const QString& key, const QString& value, const QString& file)
{
    const QString path = filePath(file);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(key, value);
    sync(settings);
    return value;
}
