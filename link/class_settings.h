#pragma once
// Single keys in INI files of the application data folder; a read writes the value back.

#include <QString>

class class_settings {
public:
    // Reads key from file ("setting" when empty), or def when absent, and stores the result.
    static QString get(const QString& key, const QString& def, const QString& file = QString());
    static QString set(const QString& key, const QString& value, const QString& file = QString());
    // The INI path of a settings file name.
    static QString filePath(const QString& file);
};
