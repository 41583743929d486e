#pragma once
// The painted force gauge: a disc in the force's colour with an arrow for the tangential force.

#include <QBrush>
#include <QLabel>
#include <QPen>
#include <cstdint>

class ydds : public QLabel {
    Q_OBJECT
public:
    static constexpr uint16_t kNoDirection = 0xFFFF;

    explicit ydds(QWidget* parent = nullptr);
    ~ydds() override;

    uint16_t dir = kNoDirection;  // degrees clockwise from up
    float ratio = 0.0f;           // arrow length factor 0..1
    QPen arrowPen;
    QPen discPen;
    QBrush brush;                 // only its colour is used; opaque white paints no disc

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

// The same gauge as a cell of sensorForm's grid.
class class_ydds : public QLabel {
    Q_OBJECT
public:
    static constexpr uint16_t kNoDirection = 0xFFFF;

    explicit class_ydds(QWidget* parent = nullptr);
    ~class_ydds() override;

    uint16_t dir = kNoDirection;
    float ratio = 0.0f;
    QPen arrowPen;
    QPen discPen;
    QBrush brush;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
