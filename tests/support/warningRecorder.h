#pragma once
// Records every user-facing warning and answers questions with a preset button.

#include <QMessageBox>
#include <QPair>
#include <QString>
#include <QVector>

struct WarningRecorder {
    // Replaces the warning, question, restart and open-folder hooks with recorders.
    static void install();
    static void clear();

    static QVector<QPair<QString, QString>>& warnings();   // (title, text)
    static QVector<QPair<QString, QString>>& questions();  // (title, text)
    static QMessageBox::StandardButton& answer();          // what question() returns
    static int& restarts();
    static QStringList& openedFolders();
    static bool& openFolderResult();
};
