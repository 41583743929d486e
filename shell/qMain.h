#pragma once

#include <QString>

class QTranslator;

// The program's main function: application set-up, language, main window, event loop.
int qMain(int argc, char** argv);

// Reads "language" from the settings file "config" (default "zh_cn"); when it is exactly "en",
// loads ":/en.qm" into translator and installs it in the application. True when installed.
bool installLanguage(QTranslator& translator);

// Where Qt's own translations are installed (on Debian, package qttranslations5-l10n).
QString qtTranslationsFolder();
// Qt's own texts (standard dialogs and buttons) in the interface's language: for Chinese loads
// qtbase_zh_CN from folder and installs it; a missing file leaves Qt's English and is logged.
// English needs nothing. True when Qt's texts are in that language.
bool installQtLanguage(QTranslator& translator, bool english, const QString& folder = qtTranslationsFolder());
