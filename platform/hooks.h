#pragma once
// The few places where the program reaches the desktop: message boxes, the file dialog, starting
// processes, the file manager and the program's own folder. Each is one replaceable function, so tests
// record what would have been shown or started instead of waiting on a dialog.

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <functional>

namespace hooks {

// A user-facing warning: by default a parentless, non-modal box with one OK button.
using WarningFn = std::function<void(const QString& title, const QString& text)>;
// A yes/no style question; returns the button chosen. By default a modal box.
using QuestionFn = std::function<QMessageBox::StandardButton(
    const QString& title, const QString& text, QMessageBox::StandardButtons buttons,
    QMessageBox::StandardButton defaultButton)>;
// Asks for one existing file to open; returns its name, or an empty text when cancelled. By
// default a modal file dialog.
using OpenFileFn = std::function<QString(QWidget* parent, const QString& caption, const QString& dir,
                                         const QString& filter)>;
using RestartFn = std::function<void()>;
using OpenFolderFn = std::function<bool(const QString& path)>;

void warning(const QString& title, const QString& text);
QMessageBox::StandardButton question(const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton defaultButton);
// filter: patterns as "*.bin;*.hex" (or Qt's "Name (*.a *.b)"), several filters joined by ";;".
QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
// The filter as Qt's file dialog reads it: the patterns of a bare filter separated by spaces.
QString dialogFilter(const QString& filter);
// Quits the event loop and starts the program again (language change).
void restartProgram();
// Opens a folder in the desktop's file manager; false when that could not be started.
bool openFolder(const QString& path);
// The folder the program runs from; the data log folder "data" lies beside it.
QString programDir();

// Replacing a hook returns the previous one, so a test can restore it.
WarningFn setWarning(WarningFn fn);
QuestionFn setQuestion(QuestionFn fn);
OpenFileFn setOpenFile(OpenFileFn fn);
RestartFn setRestart(RestartFn fn);
OpenFolderFn setOpenFolder(OpenFolderFn fn);
void setProgramDir(const QString& dir); // empty restores the default

}  // namespace hooks
