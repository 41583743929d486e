#pragma once
// The taxel grid of the taxel-array views: rows x cols gauges (class_ydds) in one grid layout.

#include <QList>
#include <QWidget>
#include <cstdint>

class QGridLayout;
class class_ydds;

class sensorForm : public QWidget {
    Q_OBJECT
public:
    explicit sensorForm(QWidget* parent = nullptr);
    ~sensorForm() override;

    // Makes rows x cols cells; cell n sits at row n / cols, column n % cols. Same cell count as
    // before: only the counts change, the cells stay.
    void setRowColumnCount(uint8_t rows, uint8_t cols);

    QGridLayout* gridLayout_2 = nullptr;  // on the widget
    QGridLayout* gridLayout = nullptr;    // holds the cells
    uint8_t rows = 0;
    uint8_t cols = 0;
    QList<class_ydds*> cells;  // creation order; children of this widget
};
