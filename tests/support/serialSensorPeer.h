#pragma once
// Simulated serial sensors on the master side of a pseudo-terminal: the code under test opens the
// slave like a serial port. Several sensors with their own addresses share the one line, as on a
// serial sensor bus. Each answers the two-byte poll (addr, addr ^ 0xFF) with its latest data frame
// and a request frame with an answer frame. A request is the sensor's when byte 2 holds its address
// (the bus worker's own requests on a serial line) or its id byte (a panel's, which has read it
// from byte 2 of the sensor's data frame).
//
// Address 0 means every sensor on the line: each answers the poll 00 FF with an address report
// 55 AA addr F1 00 00 00 addr 00 sum, and takes a request with byte 2 = 0. Such a set-address 0x70
// moves the sensor to request byte 7 (1..0x6F) and is answered 55 AA new-address F0 00 00 00 00
// 00 sum (status 0 in byte 7); such an address query 0x71 is answered with the report. Sent to one sensor's address,
// both are answered as any other request.
//
//     PtyPair pty;
//     SerialSensorPeer peer(pty);
//     SerialSensorPeer::Sensor s; s.addr = 0x61; s.prg = 20;
//     const int first = peer.addSensor(s);
//     peer.start();                       // serves the line from its own thread
//     ...
//     peer.update(first, [](SerialSensorPeer::Sensor& s) { s.frozenSeq = true; });
//     peer.hangUp();                      // stops serving and closes the master side
//
// Frames come from sim::buildDataFrame with the catalogue's layout of the type; byte 5 holds the
// frame length - 10, so a length search over a frame finds exactly its end.

#include "ptyPair.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QVector>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>


class SerialSensorPeer {
public:
    struct Sensor {
        uint8_t addr = 0x61;
        uint8_t prg = 20;             // type code; its catalogue record gives the frame layout
        uint8_t id = 0x03;            // byte 2 of frames and answers
        QString serial = "VX-000000001";
        uint32_t framePeriodMs = 10;  // the sequence byte steps once per period
        bool frozenSeq = false;       // the sequence byte stops where it is
        bool mute = false;            // polls and requests go unanswered
        bool ignoreRequests = false;  // polls are answered, requests are not
        uint32_t answerDelayMs = 0;   // an answer goes out this long after its request
        QByteArray answerJunk;        // bytes sent ahead of each answer
        uint32_t answerSplitMs = 0;   // > 0: an answer goes out in two halves this far apart
        int answerCut = 0;            // the last bytes of each answer are not sent
        int snLengthByte = -1;        // >= 0: byte 4 of the serial-number answer, whatever the text
    };

    explicit SerialSensorPeer(PtyPair& pty);
    ~SerialSensorPeer();
    SerialSensorPeer(const SerialSensorPeer&) = delete;
    SerialSensorPeer& operator=(const SerialSensorPeer&) = delete;

    // Returns the sensor's handle; -1 when its type has no catalogue record.
    int addSensor(const Sensor& sensor);
    void update(int sensor, const std::function<void(Sensor&)>& change);

    void start();
    void stop();
    // Stops serving, then closes the master side: the slave sees a hang-up.
    void hangUp();
    // For a host with one exchange on the line at a time (the bus worker): an answer not yet sent
    // when the host has written again is one it stopped waiting for (a busy machine held this
    // peer up). With this on, such an answer is dropped, so that it cannot land in the host's
    // next exchange, and counted in lateAnswers(). Off by default.
    void setDropLateAnswers(bool on);
    // Answers to the sensor's requests dropped that way.
    int lateAnswers(int sensor) const;

    // Request frames addressed to the sensor, in order of arrival.
    QVector<QByteArray> requests(int sensor) const;
    int polls(int sensor) const;
    uint8_t addr(int sensor) const;
    // Every byte the host wrote, in order.
    QByteArray received() const;
    void clearReceived();
    // What the host wrote since clearReceived(), once the line has carried all of it: pending
    // events run (a port in this thread sends what it buffered), a marker goes behind it from the
    // host's side, and the bytes up to the marker are returned (the marker itself is dropped).
    QByteArray receivedSoFar(int deadlineMs = 10000);
    // What the host wrote, in order, as polls (of any address, a sensor there or not) and
    // requests (by byte 2 and command code).
    struct Heard {
        uint8_t addr;
        int code;  // -1: a poll
    };
    QVector<Heard> heard() const;
    // Writes bytes to the host as they are, in one write: pieces, garbage, several frames at once.
    void sendRaw(const QByteArray& bytes);
    // 55 AA addr status 00 00 00 b7 00 sum: what a sensor says of its address; b7 is the address
    // in a report (F1), 0 otherwise.
    static QByteArray addressAnswer(uint8_t addr, uint8_t status);

private:
    struct Entry {
        Sensor config;
        int frameLen = 0;
        uint8_t seqWhenFrozen = 0;
        bool wasFrozen = false;
        QVector<QByteArray> requests;
        int polls = 0;
        int lateAnswers = 0;
    };

    void run();
    void consume(QByteArray& in);
    QByteArray frameOf(Entry& e);
    QByteArray answerTo(Entry& e, const QByteArray& req) const;
    // The sensors a poll or request for addr reaches: every one for address 0.
    QVector<Entry*> reached(uint8_t addr);
    // The sensors a request's byte 2 reaches: as reached(), or, when no sensor has that address,
    // the one whose id byte it is.
    QVector<Entry*> named(uint8_t target);
    void send(const QByteArray& bytes);
    void writeOut(const QByteArray& bytes, bool onlyWhileRunning);
    // Takes in what the host wrote meanwhile; true when it wrote anything past what was answered.
    bool hostWroteAgain(QByteArray& in);

    PtyPair& pty;
    mutable std::mutex lock;
    std::mutex sendLock;
    QVector<Entry> sensors;
    QByteArray fromHost;
    QVector<Heard> log;
    QElapsedTimer clock;
    std::atomic<bool> dropLate{false};
    PeerThread thread;  // last: stopped before the state it reads goes
};
