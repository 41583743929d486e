#pragma once
// Maintenance page of the main window. Its tool arrives later; until then the page is empty and
// start()/stop() only mark the tab switch, harmless however often they run.

#include <QWidget>

class sensorDebugForm : public QWidget {
    Q_OBJECT
public:
    explicit sensorDebugForm(QWidget* parent = nullptr);
    ~sensorDebugForm() override;

    void start();
    void stop();

    bool isStarted() const { return started; }

private:
    bool started = false;
};
