#pragma once
// The frame decoder every model view carries as its second base: validates a data frame against
// the catalogue record and drives the view through its virtual setters.

#include "fingerParams.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>
#include <cstdint>

class QWidget;

class class_fingerSignals : public QObject {
    Q_OBJECT
signals:
    void si_channelReset(uint8_t ch);
    void si_channelEn(uint8_t ch, bool en);
    void si_dataUpdate();
};

class class_finger {
public:
    struct ydds_str_ts {
        QString normal;      // 2 decimals
        QString tangential;  // 2 decimals
        QString direction;   // decimal degrees
    };

    enum ParseResult { Decoded = 0, LengthMismatch = 1, HeaderOrSumError = 2, NoRecord = 3 };
    static constexpr uint8_t kNoRecord = 255;
    static constexpr uint8_t kUnknownType = 255;  // the worker could not read the type code

    class_finger(uint8_t prg, QWidget* widget);
    virtual ~class_finger();

    virtual void setShowData(bool show);
    virtual void setData(uint8_t ch, uint32_t value);
    virtual void setTouchState(uint8_t ch, bool touched);
    virtual void setYdds(uint8_t point, float normal, float tangential, uint16_t direction);
    virtual void setSProx(uint8_t ch, uint32_t value);
    virtual void setMProx(uint8_t ch, uint32_t value);
    virtual void setPress(uint8_t ch, float value, float fullScale);
    virtual void setPressNList(QVector<float> values, float fullScale);
    virtual void setErrCode(uint8_t code);

    // Validates and decodes a frame, then calls the setters in their order and emits si_dataUpdate:
    // decodeFrame followed by showLatestFrame.
    int parseData(const QByteArray& frame);
    // Validates a frame and decodes it into seq and the value lists, and keeps it as the latest
    // frame; calls no setter. Returns what parseData returns. A rejected frame changes nothing.
    int decodeFrame(const QByteArray& frame);
    // Calls the setters in their order with the values of the latest decoded frame, then emits
    // si_dataUpdate; nothing before a frame was decoded.
    void showLatestFrame();

    // Decode with the record of the sensor's own type code when the catalogue has one (a sensor
    // shown by the view of another code may send another frame layout). False: record unchanged.
    bool selectRecord(uint8_t prg);

    QWidget* widget = nullptr;
    class_fingerSignals fingerSignals;
    const finger_param_ts* fingerParam = nullptr;  // null when the type code has no record
    uint8_t seq = 0;
    QVector<QString> chDataList;
    QVector<ydds_str_ts> yddsList;
    QVector<QString> sProxList;
    QVector<QString> mProxList;
    QVector<QString> proxList;
    QVector<QString> statusList;
    QVector<QString> dataList;
    uint8_t paramIdx = kNoRecord;
    uint8_t yddsSize = 0;

protected:
    // Decodes from now on with this record (kept by pointer: it must outlive the decoder).
    void useRecord(const finger_param_ts& record, uint8_t index);

private:
    bool m_layoutFits = false;  // every field of the record's layout lies inside packLen
    QVector<float> m_forces;    // reused per frame for setPressNList
    QByteArray m_latest;        // the latest decoded frame, for the setters
};
