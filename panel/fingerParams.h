#pragma once
// The sensor type catalogue: one record per type code, saying how its data frame is laid out.

#include <cstdint>

struct finger_param_ts {
    uint16_t prg;         // type code
    uint16_t packLen;     // whole data frame, header and sum included
    uint16_t chNum;       // raw channel values; pressNum + sProxNum + mProxNum
    uint16_t pressNum;    // the first pressNum channels also give a force
    uint16_t yddsNum;     // 3-D force points
    uint16_t sProxNum;    // self-capacitance proximity values
    uint16_t mProxNum;    // mutual-capacitance proximity values
    uint8_t chSize;       // bytes per raw channel value (3 or 4)
    uint8_t yddsFormat;   // force-point encoding 2, 3, 4 or 5
    uint8_t statusNum;    // 1 when a status byte ends the payload
    uint8_t caliNum;      // calibration points per channel
    float pressMax;       // full-scale force in newtons
    const char* name;     // display name
    const char* model;    // model code
};

constexpr int kFingerParamCount = 76;
extern const finger_param_ts fingerParams[kFingerParamCount];

// Bytes of one force point in the given format; 0 for an unknown format.
uint8_t yddsPointSize(uint8_t format);
// Frame length the layout rule gives for a record (modulo 65536).
uint16_t expectedPackLen(const finger_param_ts& p);
// First record of a type code, or null.
const finger_param_ts* findFingerParam(uint8_t prg);
// Row of that first record in fingerParams; -1 when there is none.
int fingerParamIndex(uint8_t prg);
// Bytes the record's layout takes with the given point size, not reduced modulo 65536.
int layoutBytes(const finger_param_ts& p, int pointSize);
