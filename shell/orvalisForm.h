#pragma once
// The sensor view: owns the sensor bus while its tab is current. One bus worker per activation,
// a tree of the sensors found (one item per bus channel), a panel window per sensor in a
// multi-document area, the data folder, the language switch and the waveform stream.

#include "sensor_ts.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

class QMdiArea;
class QMdiSubWindow;
class QSplitter;
class QThread;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class class_tcp;
class fingerForm;
class fingerThread;

namespace Ui {
class orvalisForm;
}

class orvalisForm : public QWidget {
    Q_OBJECT
public:
    explicit orvalisForm(QWidget* parent = nullptr);
    ~orvalisForm() override;

    // Starts a worker for the chosen link; does nothing while one runs.
    void start();
    // Stops and joins the worker and cancels a pending link restart; harmless when none runs.
    void stop();
    // Sends one sample of the stream source's values to the waveform viewer when connected: the
    // active panel's, or the last active one's while none is.
    void tcpSend();

    // The whole tool row, and a tab of the area big enough for a panel whose model view (the
    // largest registered one) gets at least its minimum size.
    QSize sizeHint() const override;

    // "%d-0x%02X": object name of a sensor's sub-window and panel.
    static QString windowName(uint8_t infIdx, uint8_t addr);
    // "%d/0x%02X/" followed by the serial number: the tree label and window title.
    static QString treeLabel(const sensor_ts& sensor);
    // The folder the panels write their data logs into.
    static QString dataFolder();

    static constexpr int kChannelCount = 6;
    static constexpr int kLinkRestartMs = 500;
    static constexpr int kServerConnectWaitMs = 500;

    Ui::orvalisForm* ui = nullptr;
    class_tcp* tcp = nullptr;
    QThread* workerThread = nullptr;
    // One record per sub-window, parallel to the area's sub-windows in creation order.
    QList<sensor_ts> sensorList;
    QPointer<fingerThread> worker;
    QSplitter* splitter = nullptr;
    QTreeWidget* tree = nullptr;
    QMdiArea* mdiArea = nullptr;

signals:
    void si_workerThreadStop();
    void si_connectCh341(QString id);
    void si_disconnectCh341();

private:
    void init();
    void toolRowInit();
    void sensorTreeInit();
    void tcpInit();

    void onAdapterButton();
    void onServerButton();
    void onLinkChosen();
    void onLanguageChosen(int index);
    void openDataFolder();
    void setMultiWindow(bool multiWindow);
    void showStoredLanguage();

    void sensorFound(const sensor_ts& sensor);
    void sensorGone(const sensor_ts& sensor);
    void onTreeItemClicked(QTreeWidgetItem* item);

    // A panel for the sensor, named, wired to the stream and the running worker, and registered
    // for the worker's frames, rates and answers.
    fingerForm* newPanel(uint8_t infIdx, uint8_t addr, QWidget* parent);
    // The panel that takes the worker's reports for a sensor; null when it has none.
    fingerForm* panelFor(uint8_t infIdx, uint8_t addr) const;
    // A panel decoded a frame: one sample when it is the stream source.
    void panelDecoded(const fingerForm* panel);
    // The active panel when it has a view, otherwise the last one that was; null when none.
    fingerForm* streamSourceNow();
    void sendSample(const fingerForm* source);
    // The first sub-window of that name in creation order, with its index; null when none.
    QMdiSubWindow* findSubWindow(const QString& name, int* index) const;
    // The panel a sub-window holds; null when its panel was closed.
    static fingerForm* panelOf(QMdiSubWindow* subWindow);

    QTimer* linkRestartTimer = nullptr;
    mutable QSize panelRoom;  // a tab of the area holding the largest panel; measured once
    // The panel whose values the stream sends; forgotten when that panel goes.
    QPointer<fingerForm> streamSource;
    // Panels by bus channel (high byte) and address: the worker's frames, rates and answers go
    // to the one of their sensor through one connection each, made when the worker starts.
    QHash<uint16_t, QPointer<fingerForm>> panels;
    bool onceWired = false;  // the language and tree-expansion handlers are connected
};
