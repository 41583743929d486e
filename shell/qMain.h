#pragma once

class QTranslator;

// The program's main function: application set-up, language, main window, event loop.
int qMain(int argc, char** argv);

// Reads "language" from the settings file "config" (default "zh_cn"); when it is exactly "en",
// loads ":/en.qm" into translator and installs it in the application. True when installed.
bool installLanguage(QTranslator& translator);
