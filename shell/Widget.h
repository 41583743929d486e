#pragma once
// The main window: four pages, and only the page of the current tab holds the bus.

#include <QSize>
#include <QWidget>

namespace Ui {
class Widget;
}

class Widget : public QWidget {
    Q_OBJECT
public:
    explicit Widget(QWidget* parent = nullptr);
    ~Widget() override;

    // The size the window opens at on a screen of that available size: what the pages need, at
    // least 800 x 600, never more than the screen.
    QSize openingSize(const QSize& available) const;

    Ui::Widget* ui = nullptr;

private:
    void objInit();
    void onTabChanged(int index);
};
