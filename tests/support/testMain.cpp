#include "testMain.h"

#include <QDir>

namespace testenv {

void prepare(const QTemporaryDir& dir)
{
    const QString root = dir.path();
    for (const char* sub : {"home", "config", "data", "cache", "runtime", "program"})
        QDir(root).mkpath(sub);
    qputenv("HOME", (root + "/home").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root + "/cache").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toLocal8Bit());
    QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace testenv
