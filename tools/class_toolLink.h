#pragma once
// Link control of the maintenance tabs, written once. Each tab owns its own adapters in the GUI
// thread: one per kind at most, created when its interface is chosen, removed when another one is
// chosen or the tab is left. What the tabs do differently is said in a linkOptions_ts.
//
// How a tool uses it:
//
//     class myForm : public QWidget, public class_toolLink {      // QWidget first (moc)
//     ...
//     myForm::myForm(QWidget* parent) : QWidget(parent), class_toolLink(this)
//     {
//         ui->setupUi(this);
//         linkOptions_ts o;
//         o.radios = {ui->rbtnIIC, ui->rbtnIICCh347, ui->rbtnUart};  // or o.cbbInf = ui->cbbInf
//         o.devCombo = ui->cbbDevInf;
//         o.listRule = linkListRule_te::always;
//         o.disposal = linkDisposal_te::deferred;
//         o.ch341Steps.speedMode = [this] { return uint8_t(ui->cbbDevSpeed->currentIndex()); };
//         o.opened = [this](linkKind_te kind) { ... };              // optional
//         setupLink(o);
//         groupRadios();                      // the radios' exclusive QButtonGroup, if radios
//         connect(ui->rbtnIIC, &QRadioButton::clicked, this, [this] {
//             ... fill the tool's own speed or argument combo ...
//             chooseLink(linkKind_te::ch341);  // removes the other adapters, creates this one
//         });
//     }
//     void myForm::start() { qDebug() << "myForm start"; startLink(); }
//     void myForm::stop()  { qDebug() << "myForm stop"; stopLink(); }
//
// Then ch341, ch347 and uart are the adapters (null while absent); sensorWrite, sensorRead and
// pcaReset act on the chosen link, and do nothing where its adapter is missing. A bridge's
// connection steps (speed, driver mode, stretching, reset pulse, multiplexer reset) run inside its
// open(), from si_connected. The owner must outlive nothing here: the destructor cuts the adapters'
// wires to it, so an adapter that is deleted later never calls back into a destroyed tool.

#include "class_ch341.h"
#include "class_ch347.h"
#include "class_uart.h"
#include "pca9548.h"

#include <QByteArray>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>

class QComboBox;
class QRadioButton;
class QSpinBox;
class QWidget;

enum class linkKind_te : uint8_t { none, ch341, ch347, uart };

// When a device or port list from an adapter is taken into the device combo.
enum class linkListRule_te : uint8_t {
    whileChosen,      // only while that adapter's interface is the chosen one
    always,           // whatever is chosen
    unlessChosenOpen  // except while that interface is chosen and its link is open
};

enum class linkDisposal_te : uint8_t { plain, deferred };

// What start() does with the radios.
enum class linkStartRule_te : uint8_t {
    checkAndClick,  // check the chosen radio (CH341 when none is) and emit its clicked
    clickChecked    // emit clicked of the checked radio without touching it; none: nothing
};

// A bridge's steps on connection, after `opened` and before the multiplexer reset.
struct linkBridgeSteps_ts {
    std::function<uint8_t()> speedMode;  // speed mode to set; empty: no speed call
    bool driverMode = false;             // CH347: driver mode 1
    bool stretch = false;                // CH347: clock stretching on
    bool resetPulse = false;             // CH347: GPIO 0 pulsed low and high
};

struct linkRadios_ts {
    QRadioButton* ch341 = nullptr;
    QRadioButton* ch347 = nullptr;
    QRadioButton* uart = nullptr;
};

struct linkOptions_ts {
    // Interface choice: three radios, or one combo with 0 UART, 1 IIC-CH341, 2 IIC-CH347.
    linkRadios_ts radios;
    QComboBox* cbbInf = nullptr;
    linkStartRule_te startRule = linkStartRule_te::checkAndClick;

    QComboBox* devCombo = nullptr;  // device ids (decimal) or port names
    linkListRule_te listRule = linkListRule_te::whileChosen;
    bool compareWithCopy = false;   // a list is new when it differs from the last one taken
                                    // (devList), not from the combo's items
    bool clearListOnChoice = true;  // choosing an interface empties the device combo and devList
    bool initFirst = false;         // choosing creates the new adapter before removing the others
    bool scanInUartInit = true;     // uartInit() lists the ports; choosing serial lists them again
    linkDisposal_te disposal = linkDisposal_te::plain;

    linkBridgeSteps_ts ch341Steps;
    linkBridgeSteps_ts ch347Steps;
    // A link opened: a bridge's si_connected (before its steps), the serial si_openSuccess.
    std::function<void(linkKind_te)> opened;
    // A link closed: a bridge's si_disconnected, the serial si_close.
    std::function<void(linkKind_te)> closed;
    // The tool's status line: where it tells the user why nothing was written.
    std::function<void(const QString&)> status;
};

class class_toolLink {
public:
    explicit class_toolLink(QWidget* owner);
    virtual ~class_toolLink();
    class_toolLink(const class_toolLink&) = delete;
    class_toolLink& operator=(const class_toolLink&) = delete;

    void setupLink(const linkOptions_ts& options);
    // Puts the three radios into one exclusive group (parent: the owner), in the order CH341,
    // serial, CH347.
    void groupRadios();

    // The interface the radios or the combo show.
    linkKind_te chosenLink() const;
    bool linkOpen(linkKind_te kind) const;

    // Tab activation: re-selects the shown interface so that its adapter is built afresh.
    void startLink();
    // Tab deactivation: uartDeinit(), ch341Deinit(), ch347Deinit().
    void stopLink();
    // The adapter steps of an interface handler: the device list is emptied, the adapters of the
    // other kinds go, a fresh one of this kind is made; serial lists its ports (once more).
    void chooseLink(linkKind_te kind);

    // Each Init replaces an adapter of its kind that still exists.
    void ch341Init();
    void ch347Init();
    void uartInit();
    void ch341Deinit();
    void ch347Deinit();
    void uartDeinit();

    // Pulses the multiplexer's reset line of the chosen bridge and writes 0x00 to it.
    void pcaReset();
    // One write on the chosen link: a bridge writes len bytes of data (never more than data
    // holds), serial the whole of data.
    void sensorWrite(uint8_t addr, QByteArray data, uint16_t len);
    // One read on the chosen link, appended to *out: a bridge reads len bytes (0x00 where a CH341
    // read fails, 0xFF where a CH347 read fails), serial all it has received. Returns the bridge's
    // count (0: the read failed) or the number of serial bytes; -1 when there is no adapter.
    int sensorRead(uint8_t addr, QByteArray* out, uint16_t len, uint16_t timeout);

    // The address the boxes show (one box, or a pair that shows one address in two bases). A box
    // whose text is not a valid value keeps the value it had before, which nobody sees: then
    // false, and the status line says so.
    bool shownAddress(std::initializer_list<QSpinBox*> boxes, uint8_t* addr) const;

    // A serial rescan is armed: the port list comes again unless the port opens first.
    bool rescanPending() const { return rescanTimer.isActive(); }

    // The multiplexer selection shared by the tabs that offer it by index.
    static constexpr int kPcaChoices = 14;
    static constexpr uint8_t kPcaAddr = pca9548::kAddress;
    static const std::array<uint8_t, kPcaChoices> pca9548_mask_ts;
    // Item texts in index order; the first six through translation (context QObject).
    static QStringList pcaItemTexts();
    // The serial rates the tabs offer.
    static QStringList serialRateTexts();

    QPointer<class_ch341> ch341;
    QPointer<class_ch347> ch347;
    QPointer<class_uart> uart;
    QStringList devList;  // the list last taken into the device combo

protected:
    QWidget* const linkOwner;

private:
    void bridgeConnected(linkKind_te kind);
    void takeList(linkKind_te kind, const QStringList& texts);
    bool listWanted(linkKind_te kind) const;
    template <typename Adapter>
    void bridgeInit(QPointer<Adapter>& adapter, linkKind_te kind);
    template <typename Adapter>
    void dispose(QPointer<Adapter>& adapter);
    QRadioButton* radioOf(linkKind_te kind) const;

    linkOptions_ts opts;
    QTimer rescanTimer;
};
