#pragma once
// The forms that a few force-vector views build in code rather than from a Designer file.
// Like a Designer form class, each holds non-owning pointers to what it created, in creation
// order; the widgets belong to the view.

#include <QSizePolicy>

class QGridLayout;
class QHBoxLayout;
class QProgressBar;
class QWidget;
class ydds;

// No widget at all: these views show nothing of a frame.
struct emptyForm {
protected:
    static void build(QWidget* form, const char* className);
};

struct Ui_fingerForm_25 : emptyForm {
    void setupUi(QWidget* form) { build(form, "fingerForm_25"); }
};
struct Ui_fingerForm_26 : emptyForm {
    void setupUi(QWidget* form) { build(form, "fingerForm_26"); }
};
struct Ui_fingerForm_34 : emptyForm {
    void setupUi(QWidget* form) { build(form, "fingerForm_34"); }
};

// One gauge beside one vertical self-proximity bar.
struct gaugeBarForm {
    QHBoxLayout* horizontalLayout = nullptr;
    ydds* label_1 = nullptr;
    QProgressBar* pbSProx_1 = nullptr;

protected:
    struct shape {
        const char* className;
        int width;
        int height;
        QSizePolicy::Policy barWidthPolicy;
        bool gaugeTakesSpareWidth;
    };
    void build(QWidget* form, const shape& s);
};

struct Ui_fingerForm_27 : gaugeBarForm {
    void setupUi(QWidget* form) { build(form, {"fingerForm_27", 595, 369, QSizePolicy::Preferred, true}); }
};
struct Ui_fingerForm_28 : gaugeBarForm {
    void setupUi(QWidget* form) { build(form, {"fingerForm_28", 400, 300, QSizePolicy::Fixed, false}); }
};
struct Ui_fingerForm_30 : gaugeBarForm {
    void setupUi(QWidget* form) { build(form, {"fingerForm_30", 400, 300, QSizePolicy::Fixed, false}); }
};

// One gauge alone (the record has no proximity channel).
struct Ui_fingerForm_31 {
    QGridLayout* gridLayout = nullptr;
    ydds* label_1 = nullptr;

    void setupUi(QWidget* form);
};
