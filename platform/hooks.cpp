#include "hooks.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QProcess>
#include <QUrl>

namespace hooks {
namespace {

void defaultWarning(const QString& title, const QString& text)
{
    // Non-modal: no nested event loop inside the slot that reports the problem.
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

QMessageBox::StandardButton defaultQuestion(const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton)
{
    return QMessageBox::question(nullptr, title, text, buttons, defaultButton);
}

QString defaultOpenFile(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, dialogFilter(filter));
}

void defaultRestart()
{
    QCoreApplication::quit();
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
}

bool defaultOpenFolder(const QString& path)
{
#ifdef Q_OS_WIN
    return QProcess::startDetached("explorer", {"/root,", QDir::toNativeSeparators(path)});
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

WarningFn& warningFn()
{
    static WarningFn fn = defaultWarning;
    return fn;
}
QuestionFn& questionFn()
{
    static QuestionFn fn = defaultQuestion;
    return fn;
}
OpenFileFn& openFileFn()
{
    static OpenFileFn fn = defaultOpenFile;
    return fn;
}
RestartFn& restartFn()
{
    static RestartFn fn = defaultRestart;
    return fn;
}
OpenFolderFn& openFolderFn()
{
    static OpenFolderFn fn = defaultOpenFolder;
    return fn;
}
QString& programDirOverride()
{
    static QString dir;
    return dir;
}

template <typename Fn>
Fn replace(Fn& slot, Fn fn, Fn fallback)
{
    Fn old = std::move(slot);
    slot = fn ? std::move(fn) : std::move(fallback);
    return old;
}

}  // namespace

void warning(const QString& title, const QString& text) { warningFn()(title, text); }

QMessageBox::StandardButton question(const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton)
{
    return questionFn()(title, text, buttons, defaultButton);
}

// Qt's dialog separates the patterns of one filter by spaces; a bare "*.bin;*.hex" would match
// no file at all.
QString dialogFilter(const QString& filter)
{
    QStringList filters = filter.split(";;");
    for (QString& f : filters)
        if (!f.contains('('))
            f.replace(';', ' ');
    return filters.join(";;");
}

QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    return openFileFn()(parent, caption, dir, filter);
}

void restartProgram() { restartFn()(); }

bool openFolder(const QString& path) { return openFolderFn()(path); }

QString programDir()
{
    const QString& dir = programDirOverride();
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

WarningFn setWarning(WarningFn fn) { return replace(warningFn(), std::move(fn), WarningFn(defaultWarning)); }
QuestionFn setQuestion(QuestionFn fn) { return replace(questionFn(), std::move(fn), QuestionFn(defaultQuestion)); }
OpenFileFn setOpenFile(OpenFileFn fn) { return replace(openFileFn(), std::move(fn), OpenFileFn(defaultOpenFile)); }
RestartFn setRestart(RestartFn fn) { return replace(restartFn(), std::move(fn), RestartFn(defaultRestart)); }
OpenFolderFn setOpenFolder(OpenFolderFn fn) { return replace(openFolderFn(), std::move(fn), OpenFolderFn(defaultOpenFolder)); }
void setProgramDir(const QString& dir) { programDirOverride() = dir; }

}  // namespace hooks
