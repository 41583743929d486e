#include "warningRecorder.h"

#include "hooks.h"

#include <QStringList>

QVector<QPair<QString, QString>>& WarningRecorder::warnings()
{
    static QVector<QPair<QString, QString>> list;
    return list;
}

QVector<QPair<QString, QString>>& WarningRecorder::questions()
{
    static QVector<QPair<QString, QString>> list;
    return list;
}

QMessageBox::StandardButton& WarningRecorder::answer()
{
    static QMessageBox::StandardButton button = QMessageBox::No;
    return button;
}

QVector<WarningRecorder::FileRequest>& WarningRecorder::fileRequests()
{
    static QVector<FileRequest> list;
    return list;
}

QString& WarningRecorder::fileAnswer()
{
    static QString name;
    return name;
}

int& WarningRecorder::restarts()
{
    static int count = 0;
    return count;
}

QStringList& WarningRecorder::openedFolders()
{
    static QStringList list;
    return list;
}

bool& WarningRecorder::openFolderResult()
{
    static bool result = true;
    return result;
}

void WarningRecorder::install()
{
    hooks::setWarning([](const QString& title, const QString& text) { warnings().append({title, text}); });
    hooks::setQuestion([](const QString& title, const QString& text, QMessageBox::StandardButtons,
                          QMessageBox::StandardButton) {
        questions().append({title, text});
        return answer();
    });
    hooks::setOpenFile([](QWidget*, const QString& caption, const QString& dir, const QString& filter) {
        fileRequests().append({caption, dir, filter});
        return fileAnswer();
    });
    hooks::setRestart([] { ++restarts(); });
    hooks::setOpenFolder([](const QString& path) {
        openedFolders().append(path);
        return openFolderResult();
    });
}

void WarningRecorder::clear()
{
    warnings().clear();
    questions().clear();
    answer() = QMessageBox::No;
    fileRequests().clear();
    fileAnswer().clear();
    restarts() = 0;
    openedFolders().clear();
    openFolderResult() = true;
}
