#pragma once
// The CSV log of one panel: one UTF-8 file per logging run, a header naming every column and one
// row per decoded frame. The file stays open while logging so that thousands of frames a second
// cost one buffered write each; closing flushes it.

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTextStream>
#include <cstdint>

class class_finger;

class class_csvLog {
public:
    class_csvLog();
    ~class_csvLog();
    class_csvLog(const class_csvLog&) = delete;
    class_csvLog& operator=(const class_csvLog&) = delete;

    // "yyyyMMdd_hhmmss_zzz__<bus from 1>__0x<addr>.csv"
    static QString fileName(const QDateTime& created, uint8_t infIdx, uint8_t addr);
    // Opens the file for appending, creating its folder first; false when that fails.
    bool open(const QString& path);
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return isOpen() ? file.fileName() : QString(); }
    // The header when the file is still empty, then the row of the decoder's last frame.
    // False when the write failed.
    bool writeFrame(const class_finger& ff, qint64 msecsSinceEpoch);
    // Flushes and closes; false when buffered rows could not be written.
    bool close();

private:
    void writeHeader(const class_finger& ff);

    QFile file;
    QTextStream stream;
    bool headerDue = false;
};
