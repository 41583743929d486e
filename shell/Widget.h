#pragma once
// The main window: four pages, and only the page of the current tab holds the bus.

#include <QWidget>

namespace Ui {
class Widget;
}

class Widget : public QWidget {
    Q_OBJECT
public:
    explicit Widget(QWidget* parent = nullptr);
    ~Widget() override;

    Ui::Widget* ui = nullptr;

private:
    void objInit();
    void onTabChanged(int index);
};
