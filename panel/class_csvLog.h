#pragma once
// The CSV log of one panel: one UTF-8 file per logging run, a header naming every column and one
// row per decoded frame. Rows are formatted into memory and handed to the operating system in one
// write of whole rows, at the latest kFlushMs after the first of them, so that a program that is
// killed leaves no torn row and loses at most the last moments; closing writes the rest.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

class class_finger;

class class_csvLog {
public:
    static constexpr int kFlushMs = 50;
    static constexpr int kMaxPendingBytes = 1 << 20;  // written at once when a flood gets this far

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
    // The header when the file is still empty, then the row of the decoder's last frame. False
    // when a write this call made failed.
    bool writeFrame(const class_finger& ff, qint64 msecsSinceEpoch);
    // Every row formatted so far to the file in one write; false when that failed.
    bool flush();
    // Writes the rest and closes; false when rows could not be written.
    bool close();
    // Called with the file's path when a write the log made by itself (after kFlushMs) failed.
    void setWriteFailed(std::function<void(const QString& path)> handler) { writeFailed = std::move(handler); }

private:
    void appendHeader(const class_finger& ff);
    void appendRow(const class_finger& ff, qint64 msecsSinceEpoch);

    QFile file;
    QByteArray pending;         // whole rows not yet written
    QElapsedTimer pendingSince;  // the first of them was formatted
    QTimer flushClock;
    bool headerDue = false;
    bool writeOk = true;  // no write of this file has failed
    std::function<void(const QString&)> writeFailed;
};
