#pragma once
// Records every user-facing warning, answers questions with a preset button and file dialogs
// with a preset name.

#include <QMessageBox>
#include <QPair>
#include <QString>
#include <QVector>

struct WarningRecorder {
    // Replaces the warning, question, open-file, restart and open-folder hooks with recorders.
    static void install();
    static void clear();

    static QVector<QPair<QString, QString>>& warnings();   // (title, text)
    static QVector<QPair<QString, QString>>& questions();  // (title, text)
    static QMessageBox::StandardButton& answer();          // what question() returns
    struct FileRequest {
        QString caption, dir, filter;
    };
    static QVector<FileRequest>& fileRequests();  // every open-file dialog asked for
    static QString& fileAnswer();                 // what it returns (empty: cancelled)
    static int& restarts();
    static QStringList& openedFolders();
    static bool& openFolderResult();
};
