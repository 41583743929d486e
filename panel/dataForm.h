#pragma once
// One value row of a panel: the value's name, its text, and for raw channels reset and enable.

#include <QString>
#include <QWidget>
#include <cstdint>

class QLabel;

namespace Ui {
class dataForm;
}

class dataForm : public QWidget {
    Q_OBJECT
public:
    static constexpr uint8_t kChannelRow = 0;  // shows reset and enable
    static constexpr uint8_t kValueRow = 1;    // any other kind hides both

    dataForm(uint8_t idx, QString name, uint8_t kind, QWidget* parent = nullptr);
    ~dataForm() override;

    // The value label, for code outside this library that cannot include the generated form.
    QLabel* dataLabel() const;

    Ui::dataForm* ui = nullptr;
    uint8_t idx;

signals:
    void si_reset(uint8_t idx);
    void si_en(uint8_t idx, bool en);
};
