#include "orvalisForm.h"

#include "class_settings.h"
#include "class_tcp.h"
#include "fingerForm.h"
#include "fingerThread.h"
#include "hooks.h"
#include "ui_orvalisForm.h"
#include "viewFactory.h"
#include "waveformStream.h"

#include <QDebug>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaType>
#include <QRegExpValidator>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabBar>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <algorithm>

namespace {

// Index of cbbLanguage = index into this table; the value is what the "language" key stores.
const char* const kLanguages[] = {"zh_cn", "en"};
constexpr int kLanguageCount = int(sizeof kLanguages / sizeof kLanguages[0]);
const char* const kLanguageKey = "language";
const char* const kLanguageFile = "config";
const char* const kDefaultLanguage = "zh_cn";

const char* const kServerAddressKey = "TCP/IP";
const char* const kServerPortKey = "TCP/PORT";
// Four dotted decimal numbers 0..255.
const char* const kIpv4Pattern =
    "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b";

const char* const kDataFolderName = "data";
constexpr int kTreeSize = 100;
constexpr int kMdiSize = 400;
// Device ids and port names ("6002", "ttyUSB0") fit without widening the tool row.
constexpr int kDeviceListChars = 8;
// A tab of the area as the sensors' windows title them.
const char* const kSampleWindowTitle = "0/0x61/VX-000000000";
// A sensor item keeps its address here, so a click needs no parsing of its label.
constexpr int kAddrRole = Qt::UserRole;

uint16_t sensorKey(uint8_t infIdx, uint8_t addr)
{
    return uint16_t(infIdx << 8 | addr);
}

// Every type that crosses the worker's queued connections, under the names its signals use.
void registerWorkerTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<uint8_t>("uint8_t");
        qRegisterMetaType<uint16_t>("uint16_t");
        qRegisterMetaType<uint32_t>("uint32_t");
        qRegisterMetaType<QVector<uint8_t>>("QVector<uint8_t>");
        qRegisterMetaType<QVector<uint16_t>>("QVector<uint16_t>");
        qRegisterMetaType<QVector<int32_t>>("QVector<int32_t>");
        qRegisterMetaType<QVector<uint32_t>>("QVector<uint32_t>");
        qRegisterMetaType<QVector<QString>>("QVector<QString>");
        qRegisterMetaType<sensor_ts>("sensor_ts");
        return true;
    }();
    Q_UNUSED(registered);
}

}  // namespace

orvalisForm::orvalisForm(QWidget* parent) : QWidget(parent), ui(new Ui::orvalisForm)
{
    ui->setupUi(this);
    qDebug() << "orvalisForm new";
    init();
}

orvalisForm::~orvalisForm()
{
    stop();
    // The panels go while the view is whole; the socket may still report its end as it goes.
    delete splitter;
    splitter = nullptr;
    disconnect(tcp, nullptr, this, nullptr);
    qDebug() << "orvalisForm delete";
    delete ui;
    ui = nullptr;
}

QString orvalisForm::windowName(uint8_t infIdx, uint8_t addr)
{
    return QString::asprintf("%d-0x%02X", infIdx, addr);
}

QString orvalisForm::treeLabel(const sensor_ts& sensor)
{
    return QString::asprintf("%d/0x%02X/", sensor.infIdx, sensor.addr) + sensor.sn;
}

QString orvalisForm::dataFolder()
{
    return QDir(hooks::programDir()).filePath(kDataFolderName);
}

void orvalisForm::init()
{
    qDebug() << "orvalisForm init";
    // Before the change handler exists, so this choice starts nothing.
    ui->cbbSensorInf->setCurrentIndex(fingerThread::LinkCh341);
    toolRowInit();
    tcpInit();
    registerWorkerTypes();

    connect(ui->pbtnCh341Connect, &QPushButton::clicked, this, [this] { onAdapterButton(); });
    linkRestartTimer = new QTimer(this);
    linkRestartTimer->setSingleShot(true);
    connect(linkRestartTimer, &QTimer::timeout, this, [this] { start(); });
    connect(ui->cbbSensorInf, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { onLinkChosen(); });
    connect(ui->pbtnOpenSaveDir, &QPushButton::clicked, this, [this] { openDataFolder(); });
    connect(ui->chkbtnMdiMode, &QCheckBox::clicked, this, [this](bool checked) { setMultiWindow(checked); });

    workerThread = new QThread(this);

    splitter = new QSplitter(Qt::Horizontal, this);
    tree = new QTreeWidget(splitter);
    tree->setColumnCount(1);
    tree->setHeaderHidden(true);
    mdiArea = new QMdiArea(splitter);
    mdiArea->setViewMode(QMdiArea::TabbedView);
    mdiArea->setTabsClosable(false);
    // Tiles that do not fit scroll; without scroll bars the area grows the whole window instead.
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    splitter->setSizes({kTreeSize, kMdiSize});
    ui->hly->addWidget(splitter);

    sensorTreeInit();
}

void orvalisForm::toolRowInit()
{
    // Combo texts stay whole: a squeezed row scrolls instead.
    for (QComboBox* box : {ui->cbbSensorInf, ui->cbbCh341List, ui->cbbTcpDataFormat, ui->cbbLanguage}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        box->setSizePolicy(QSizePolicy::Minimum, box->sizePolicy().verticalPolicy());
    }
    ui->cbbCh341List->setMinimumContentsLength(kDeviceListChars);
    // The buttons name their state; either name fits without the row changing its width.
    for (QPushButton* button : {ui->pbtnCh341Connect, ui->pbtnServiceConnect}) {
        const QString shown = button->text();
        int width = 0;
        for (const QString& state : {QObject::tr("连接"), QObject::tr("断开")}) {
            button->setText(state);
            width = std::max(width, button->sizeHint().width());
        }
        button->setText(shown);
        button->setMinimumWidth(width);
    }
}

QSize orvalisForm::sizeHint() const
{
    if (!panelRoom.isValid()) {
        // A sensor's window is a tab of the area: the tab bar above it, the area's frame around.
        QTabBar tabs;
        tabs.setDocumentMode(mdiArea->documentMode());
        tabs.addTab(QString::fromLatin1(kSampleWindowTitle));
        const int frame = 2 * mdiArea->frameWidth();
        panelRoom = fingerForm::minimumSizeFor(viewFactory::largestMinimumSize()) +
                    QSize(frame, tabs.sizeHint().height() + frame);
    }
    const QSize area = panelRoom;
    // The splitter keeps the tree at its share of the width.
    const int splitWidth = std::max(tree->minimumSizeHint().width() + splitter->handleWidth() + area.width(),
                                    area.width() * (kTreeSize + kMdiSize) / kMdiSize);
    const int splitHeight = std::max(tree->minimumSizeHint().height(), area.height());
    // The data tab around the splitter; the scroll area of the tool row around its controls.
    const QSize tabChrome = ui->tabWidget->sizeHint() - splitter->sizeHint();
    const int rowWidth = ui->scrollAreaWidgetContents->sizeHint().width() + 2 * ui->scrollArea->frameWidth();
    const QMargins m = ui->verticalLayout->contentsMargins();
    return QSize(m.left() + m.right() + std::max(rowWidth, splitWidth + tabChrome.width()),
                 m.top() + m.bottom() + ui->scrollArea->maximumHeight() + ui->verticalLayout->spacing() +
                     splitHeight + tabChrome.height());
}

void orvalisForm::sensorTreeInit()
{
    for (int n = 1; n <= kChannelCount; ++n)
        tree->addTopLevelItem(new QTreeWidgetItem(QStringList{QObject::tr("接口") + QString::number(n)}));
    connect(tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { onTreeItemClicked(item); });
}

void orvalisForm::start()
{
    qDebug() << "orvalisForm start";
    // One worker per view: a second start (the link restart racing a tab change) changes nothing.
    if (workerThread->isRunning()) {
        qDebug() << "worker running";
        return;
    }

    // Parentless: it is moved into the worker thread, and the thread's end deletes it there.
    worker = new fingerThread(uint8_t(ui->cbbSensorInf->currentIndex()), nullptr);
    // A report still queued when its worker has ended (the window was busy) speaks of a link and
    // devices that are no longer the view's: stop() has reset both, and the next worker reports
    // its own.
    const QPointer<fingerThread> run = worker;
    const auto current = [this, run] { return run && run == worker; };
    connect(worker, &fingerThread::si_ch341Connected, this, [this, current] {
        if (current())
            ui->pbtnCh341Connect->setText(QObject::tr("断开"));
    });
    connect(worker, &fingerThread::si_ch341Disconnected, this, [this, current] {
        if (current())
            ui->pbtnCh341Connect->setText(QObject::tr("连接"));
    });
    connect(worker, &fingerThread::si_ch341ListUpdate, this, [this, current](const QVector<QString>& list) {
        if (!current())
            return;
        ui->cbbCh341List->clear();
        for (const QString& id : list)
            ui->cbbCh341List->addItem(id);
    });
    connect(worker, &fingerThread::si_connectedSensor, this, [this](const sensor_ts& s) { sensorFound(s); });
    connect(worker, &fingerThread::si_disconnectedSensor, this, [this](const sensor_ts& s) { sensorGone(s); });
    // Made before the worker runs and queued behind its sensor reports, so a sensor's first frames
    // find its panel. Each report goes to the panel of its sensor only; one for a sensor without
    // a panel (its window closed) is dropped.
    const auto toPanel = [this](auto slot) {
        return [this, slot](uint8_t infIdx, uint8_t addr, auto... report) {
            if (fingerForm* panel = panelFor(infIdx, addr))
                (panel->*slot)(infIdx, addr, report...);
        };
    };
    connect(worker, &fingerThread::si_updateData1, this, toPanel(&fingerForm::sl_updateData));
    connect(worker, &fingerThread::si_setHz1, this, toPanel(&fingerForm::sl_setHz));
    connect(worker, &fingerThread::si_cmdRsp1, this, toPanel(&fingerForm::sl_cmdRsp));
    connect(worker, &fingerThread::si_cmdRspErr1, this, toPanel(&fingerForm::sl_cmdRspErr));

    worker->moveToThread(workerThread);
    connect(workerThread, &QThread::started, worker, &fingerThread::started);
    connect(this, &orvalisForm::si_workerThreadStop, worker, &fingerThread::stop);
    connect(this, &orvalisForm::si_connectCh341, worker, &fingerThread::sl_connectCh341);
    connect(this, &orvalisForm::si_disconnectCh341, worker, &fingerThread::sl_disconnectCh341);
    connect(worker, &fingerThread::si_exit, workerThread, &QThread::quit);
    connect(worker, &fingerThread::si_exit, this, [this] { ui->pbtnCh341Connect->setText(QObject::tr("连接")); });
    connect(workerThread, &QThread::finished, worker, &QObject::deleteLater);
    workerThread->start();

    showStoredLanguage();
    if (!onceWired) {
        onceWired = true;
        connect(ui->cbbLanguage, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this](int index) { onLanguageChosen(index); });
        connect(tree, &QTreeWidget::expanded, this, [this] { tree->resizeColumnToContents(0); });
        connect(tree, &QTreeWidget::collapsed, this, [this] { tree->resizeColumnToContents(0); });
    }
}

void orvalisForm::stop()
{
    qDebug() << "orvalisForm stop";
    // A link restart still pending belongs to the run that ends here.
    linkRestartTimer->stop();
    emit si_workerThreadStop();
    workerThread->quit();
    // The worker reports its sensors gone on its way out; those reports arrive after this returns.
    workerThread->wait();
    ui->pbtnCh341Connect->setText(QObject::tr("连接"));
    // The ids were the ended worker's: the next worker reports its own, and a connect request
    // for an id it has not listed yet would be dropped without a word.
    ui->cbbCh341List->clear();
}

void orvalisForm::showStoredLanguage()
{
    const QString language = class_settings::get(kLanguageKey, kDefaultLanguage, kLanguageFile);
    // Showing what is stored is no choice of the user: it must not restart the program.
    const QSignalBlocker blocker(ui->cbbLanguage);
    if (language.isEmpty())
        ui->cbbLanguage->setCurrentIndex(0);
    for (int i = 0; i < kLanguageCount; ++i) {
        if (language == kLanguages[i])
            ui->cbbLanguage->setCurrentIndex(i);
    }
}

void orvalisForm::onLanguageChosen(int index)
{
    if (index < 0 || index >= kLanguageCount)
        return;
    class_settings::set(kLanguageKey, kLanguages[index], kLanguageFile);
    // The new instance reads the setting at its start; this one shuts down normally.
    hooks::restartProgram();
}

void orvalisForm::onLinkChosen()
{
    stop();
    // A further change within the wait restarts it, so one worker starts after the last change.
    linkRestartTimer->start(kLinkRestartMs);
}

void orvalisForm::onAdapterButton()
{
    const QString state = ui->pbtnCh341Connect->text();
    if (state == QObject::tr("连接")) {
        const QString id = ui->cbbCh341List->currentText();
        if (!id.isEmpty())
            emit si_connectCh341(id);
    } else if (state == QObject::tr("断开")) {
        emit si_disconnectCh341();
    }
}

void orvalisForm::openDataFolder()
{
    const QString folder = dataFolder();
    if (QDir().mkpath(folder) && hooks::openFolder(folder))
        return;
    qDebug() << "文件夹打开失败";
    // Without a file manager the user still learns where the logs are.
    hooks::warning(QObject::tr("打开保存目录"), QObject::tr("文件夹打开失败:") + QDir::toNativeSeparators(folder));
}

void orvalisForm::setMultiWindow(bool multiWindow)
{
    if (!multiWindow) {
        mdiArea->setViewMode(QMdiArea::TabbedView);
        return;
    }
    mdiArea->setViewMode(QMdiArea::SubWindowView);
    mdiArea->tileSubWindows();
    for (QMdiSubWindow* sub : mdiArea->subWindowList(QMdiArea::CreationOrder))
        sub->resize(sub->width(), mdiArea->height());
}

fingerForm* orvalisForm::newPanel(uint8_t infIdx, uint8_t addr, QWidget* parent)
{
    auto* panel = new fingerForm(infIdx, addr, parent);
    panel->setObjectName(windowName(infIdx, addr));
    connect(panel, &fingerForm::si_sendDataStrList, this, [this, panel] { panelDecoded(panel); });
    panels.insert(sensorKey(infIdx, addr), panel);
    // A report of an ended worker may still arrive: its panel gets no bus, and the ended
    // worker's own gone reports, queued behind it, remove it again.
    if (worker)
        connect(panel, &fingerForm::si_cmdReq1, worker, &fingerThread::sl_cmdReq1);
    return panel;
}

fingerForm* orvalisForm::panelFor(uint8_t infIdx, uint8_t addr) const
{
    const auto it = panels.constFind(sensorKey(infIdx, addr));
    return it == panels.constEnd() ? nullptr : it->data();
}

QMdiSubWindow* orvalisForm::findSubWindow(const QString& name, int* index) const
{
    const QList<QMdiSubWindow*> subs = mdiArea->subWindowList(QMdiArea::CreationOrder);
    for (int j = 0; j < subs.size(); ++j) {
        if (subs.at(j)->objectName() == name) {
            *index = j;
            return subs.at(j);
        }
    }
    *index = -1;
    return nullptr;
}

fingerForm* orvalisForm::panelOf(QMdiSubWindow* subWindow)
{
    auto* panel = qobject_cast<fingerForm*>(subWindow->widget());
    return panel && panel->objectName() == subWindow->objectName() ? panel : nullptr;
}

void orvalisForm::sensorFound(const sensor_ts& sensor)
{
    qDebug() << "add tree";
    QTreeWidgetItem* channel = tree->topLevelItem(sensor.infIdx);
    if (!channel) {
        qDebug() << "bad channel:" << sensor.infIdx;
        return;
    }
    const QString label = treeLabel(sensor);
    auto* item = new QTreeWidgetItem(channel, QStringList{label});
    item->setData(0, kAddrRole, sensor.addr);
    qDebug("col num:%d", tree->columnCount());
    tree->resizeColumnToContents(0);

    // No close button: a sensor's window goes when the sensor goes.
    auto* sub = new QMdiSubWindow(mdiArea);
    sub->setObjectName(windowName(sensor.infIdx, sensor.addr));
    sub->setWindowFlags(sub->windowFlags() & ~Qt::WindowCloseButtonHint);
    sub->setWindowTitle(label);
    fingerForm* panel = newPanel(sensor.infIdx, sensor.addr, sub);
    sub->setWidget(panel);
    mdiArea->addSubWindow(sub);
    sub->show();

    panel->sl_connectedFinger(sensor.infIdx, sensor.addr, sensor);
    sensorList.append(sensor);
}

void orvalisForm::sensorGone(const sensor_ts& sensor)
{
    qDebug() << "del tree";
    if (QTreeWidgetItem* channel = tree->topLevelItem(sensor.infIdx)) {
        const QString label = treeLabel(sensor);
        for (int i = 0; i < channel->childCount(); ++i) {
            if (channel->child(i)->text(0) == label) {
                delete channel->takeChild(i);
                tree->resizeColumnToContents(0);
                break;
            }
        }
    }

    const QString name = windowName(sensor.infIdx, sensor.addr);
    qDebug() << name;
    panels.remove(sensorKey(sensor.infIdx, sensor.addr));
    int j = -1;
    QMdiSubWindow* sub = findSubWindow(name, &j);
    if (!sub)
        return;
    // Exactly this sensor's window, and with it its panel (none when the user closed it).
    mdiArea->removeSubWindow(sub);
    delete sub;
    if (j < sensorList.size())
        sensorList.removeAt(j);
}

void orvalisForm::onTreeItemClicked(QTreeWidgetItem* item)
{
    QTreeWidgetItem* channel = item ? item->parent() : nullptr;
    if (!channel)  // a channel item such as 接口1
        return;
    const int infIdx = tree->indexOfTopLevelItem(channel);
    const int addr = item->data(0, kAddrRole).toInt();
    qDebug("inf:%d", infIdx + 1);
    qDebug("addr:%d", addr);
    const QString name = windowName(uint8_t(infIdx), uint8_t(addr));
    qDebug() << name;

    int j = -1;
    QMdiSubWindow* sub = findSubWindow(name, &j);
    if (!sub) {
        qDebug() << "creat";
        return;
    }
    if (sub->isHidden()) {
        // The user closed the panel: the window comes back with a fresh one.
        qDebug("show:%d", j);
        fingerForm* panel = newPanel(uint8_t(infIdx), uint8_t(addr), sub);
        if (j < sensorList.size())
            panel->sl_connectedFinger(uint8_t(infIdx), uint8_t(addr), sensorList.at(j));
        sub->setWidget(panel);
        sub->showNormal();
    }
    mdiArea->setActiveSubWindow(sub);
}

void orvalisForm::tcpInit()
{
    tcp = new class_tcp(this);
    ui->leServiceAddr->setText(class_settings::get(kServerAddressKey, QString()));
    ui->spbServicePort->setValue(int(class_settings::get(kServerPortKey, QString()).toUInt()));
    ui->leServiceAddr->setValidator(
        new QRegExpValidator(QRegExp(kIpv4Pattern, Qt::CaseSensitive), ui->leServiceAddr));

    connect(ui->pbtnServiceConnect, &QPushButton::clicked, this, [this] { onServerButton(); });
    connect(tcp, &class_tcp::si_connected, this,
            [this] { ui->pbtnServiceConnect->setText(QObject::tr("断开")); });
    connect(tcp, &class_tcp::si_disconnected, this,
            [this] { ui->pbtnServiceConnect->setText(QObject::tr("连接")); });
}

void orvalisForm::onServerButton()
{
    qDebug() << "tcp connected:" << int(tcp->isConnected);
    if (tcp->isConnected) {
        tcp->socket->disconnectFromHost();
        tcp->socket->abort();
        return;
    }
    // Stored before the attempt, whatever its outcome.
    const QString address = ui->leServiceAddr->text();
    const int port = ui->spbServicePort->value();
    class_settings::set(kServerAddressKey, address);
    class_settings::set(kServerPortKey, QString::number(port));
    tcp->socket->connectToHost(address, quint16(port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    // The button follows the socket's own report, not this wait's result.
    tcp->socket->waitForConnected(kServerConnectWaitMs);
}

void orvalisForm::tcpSend()
{
    sendSample(streamSourceNow());
}

void orvalisForm::panelDecoded(const fingerForm* panel)
{
    // One sample per frame of the source: a frame of another panel would send the source's
    // values again.
    if (panel == streamSourceNow())
        sendSample(panel);
}

fingerForm* orvalisForm::streamSourceNow()
{
    if (QMdiSubWindow* active = mdiArea->activeSubWindow()) {
        fingerForm* panel = panelOf(active);
        if (panel && panel->ff)
            streamSource = panel;
    }
    // A source panel that went, or lost its view, sends nothing until another one is active.
    return streamSource && streamSource->ff ? streamSource.data() : nullptr;
}

void orvalisForm::sendSample(const fingerForm* source)
{
    if (!source || !tcp->isConnected)
        return;
    const QByteArray sample = waveformStream::sample(*source->ff, ui->cbbTcpDataFormat->currentIndex());
    if (!sample.isEmpty())
        tcp->socket->write(sample);
}
