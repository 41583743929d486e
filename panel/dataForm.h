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
    // The value's text, and the touch colour of a raw channel (red while touched). Each is set
    // only when it changes: a new style sheet costs more than a frame.
    void showValue(const QString& text);
    void showTouched(bool touched);

    Ui::dataForm* ui = nullptr;
    uint8_t idx;

private:
    enum class touch : int8_t { unknown, no, yes };
    touch shownTouch = touch::unknown;  // the form's own style until the first value

signals:
    void si_reset(uint8_t idx);
    void si_en(uint8_t idx, bool en);
};
