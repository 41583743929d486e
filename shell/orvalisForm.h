#pragma once
// The sensor view: worker lifecycle, sensor tree and panels. (Filled in by its own change.)

#include <QWidget>

class orvalisForm : public QWidget {
    Q_OBJECT
public:
    explicit orvalisForm(QWidget* parent = nullptr);
    ~orvalisForm() override;

    void start();
    void stop();
};
