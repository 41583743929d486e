#pragma once
// A pseudo-terminal pair for serial tests: the code under test opens slavePath() like a serial
// port, the test plays the far end on the master side.

#include <QByteArray>
#include <QString>

class PtyPair {
public:
    // Opens the pair in raw mode; isOpen() tells whether that worked.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isOpen() const { return master >= 0; }
    QString slavePath() const { return path; }
    int masterFd() const { return master; }

    // Writes all bytes to the master side (the slave reads them).
    void write(const QByteArray& data);
    // Everything that arrives on the master side within timeoutMs; pending events of this thread
    // run while it waits.
    QByteArray read(int timeoutMs);
    // Closes the master so that the slave side sees a hang-up.
    void hangUp();

private:
    int master = -1;
    int slave = -1;  // kept open so the line stays up until hangUp()
    QString path;
};
