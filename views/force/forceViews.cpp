// The force-vector model views: one class per sensor model family, each with its own form.
// Their behaviour lives in forceView and their constants in forceViewTable; a class here only
// ties its class number to its form and makes itself known to the panel's view choice.

#include "builtInForms.h"
#include "forceView.h"
#include "viewFactory.h"

#include "ui_fingerForm_17.h"
#include "ui_fingerForm_19.h"
#include "ui_fingerForm_20.h"
#include "ui_fingerForm_21.h"
#include "ui_fingerForm_22.h"
#include "ui_fingerForm_23.h"
#include "ui_fingerForm_24.h"
#include "ui_fingerForm_29.h"
#include "ui_fingerForm_37.h"
#include "ui_fingerForm_38.h"
#include "ui_fingerForm_39.h"
#include "ui_fingerForm_40.h"
#include "ui_fingerForm_41.h"
#include "ui_fingerForm_43.h"
#include "ui_fingerForm_45.h"
#include "ui_fingerForm_46.h"
#include "ui_fingerForm_47.h"
#include "ui_fingerForm_48.h"
#include "ui_fingerForm_49.h"
#include "ui_fingerForm_50.h"
#include "ui_fingerForm_52.h"
#include "ui_fingerForm_54.h"
#include "ui_fingerForm_57.h"
#include "ui_fingerForm_58.h"
#include "ui_fingerForm_59.h"
#include "ui_fingerForm_67.h"

class fingerForm_17 : public forceViewWith<17, Ui_fingerForm_17> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_19 : public forceViewWith<19, Ui_fingerForm_19> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_20 : public forceViewWith<20, Ui_fingerForm_20> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_21 : public forceViewWith<21, Ui_fingerForm_21> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_22 : public forceViewWith<22, Ui_fingerForm_22> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_23 : public forceViewWith<23, Ui_fingerForm_23> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_24 : public forceViewWith<24, Ui_fingerForm_24> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_25 : public forceViewWith<25, Ui_fingerForm_25> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_26 : public forceViewWith<26, Ui_fingerForm_26> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_27 : public forceViewWith<27, Ui_fingerForm_27> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_28 : public forceViewWith<28, Ui_fingerForm_28> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_29 : public forceViewWith<29, Ui_fingerForm_29> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_30 : public forceViewWith<30, Ui_fingerForm_30> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_31 : public forceViewWith<31, Ui_fingerForm_31> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_34 : public forceViewWith<34, Ui_fingerForm_34> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_37 : public forceViewWith<37, Ui_fingerForm_37> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_38 : public forceViewWith<38, Ui_fingerForm_38> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_39 : public forceViewWith<39, Ui_fingerForm_39> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_40 : public forceViewWith<40, Ui_fingerForm_40> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_41 : public forceViewWith<41, Ui_fingerForm_41> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_43 : public forceViewWith<43, Ui_fingerForm_43> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_45 : public forceViewWith<45, Ui_fingerForm_45> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_46 : public forceViewWith<46, Ui_fingerForm_46> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_47 : public forceViewWith<47, Ui_fingerForm_47> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_48 : public forceViewWith<48, Ui_fingerForm_48> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_49 : public forceViewWith<49, Ui_fingerForm_49> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_50 : public forceViewWith<50, Ui_fingerForm_50> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_52 : public forceViewWith<52, Ui_fingerForm_52> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_54 : public forceViewWith<54, Ui_fingerForm_54> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_57 : public forceViewWith<57, Ui_fingerForm_57> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_58 : public forceViewWith<58, Ui_fingerForm_58> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_59 : public forceViewWith<59, Ui_fingerForm_59> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_67 : public forceViewWith<67, Ui_fingerForm_67> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};

REGISTER_FINGER_VIEW(17) REGISTER_FINGER_VIEW(19) REGISTER_FINGER_VIEW(20) REGISTER_FINGER_VIEW(21)
REGISTER_FINGER_VIEW(22) REGISTER_FINGER_VIEW(23) REGISTER_FINGER_VIEW(24) REGISTER_FINGER_VIEW(25)
REGISTER_FINGER_VIEW(26) REGISTER_FINGER_VIEW(27) REGISTER_FINGER_VIEW(28) REGISTER_FINGER_VIEW(29)
REGISTER_FINGER_VIEW(30) REGISTER_FINGER_VIEW(31) REGISTER_FINGER_VIEW(34) REGISTER_FINGER_VIEW(37)
REGISTER_FINGER_VIEW(38) REGISTER_FINGER_VIEW(39) REGISTER_FINGER_VIEW(40) REGISTER_FINGER_VIEW(41)
REGISTER_FINGER_VIEW(43) REGISTER_FINGER_VIEW(45) REGISTER_FINGER_VIEW(46) REGISTER_FINGER_VIEW(47)
REGISTER_FINGER_VIEW(48) REGISTER_FINGER_VIEW(49) REGISTER_FINGER_VIEW(50) REGISTER_FINGER_VIEW(52)
REGISTER_FINGER_VIEW(54) REGISTER_FINGER_VIEW(57) REGISTER_FINGER_VIEW(58) REGISTER_FINGER_VIEW(59)
REGISTER_FINGER_VIEW(67)

#include "forceViews.moc"
