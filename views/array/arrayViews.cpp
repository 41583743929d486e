// The pressure, taxel-array and channel-list model views and the force views without value text:
// one class per sensor model family, each with its own form. Their behaviour lives in arrayView
// and their constants in arrayViewTable; a class here only ties its class number to its form and
// makes itself known to the panel's view choice.

#include "arrayView.h"
#include "viewFactory.h"

#include "ui_fingerForm_42.h"
#include "ui_fingerForm_44.h"
#include "ui_fingerForm_69.h"
#include "ui_fingerForm_76.h"
#include "ui_fingerForm_83.h"
#include "ui_fingerForm_85.h"
#include "ui_fingerForm_86.h"
#include "ui_fingerForm_110.h"
#include "ui_fingerForm_111.h"
#include "ui_fingerForm_64.h"
#include "ui_fingerForm_70.h"
#include "ui_fingerForm_95.h"
#include "ui_fingerForm_98.h"

class fingerForm_42 : public arrayViewWith<42, Ui_fingerForm_42> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_44 : public arrayViewWith<44, Ui_fingerForm_44> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_69 : public arrayViewWith<69, Ui_fingerForm_69> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_76 : public arrayViewWith<76, Ui_fingerForm_76> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_83 : public arrayViewWith<83, Ui_fingerForm_83> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_85 : public arrayViewWith<85, Ui_fingerForm_85> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_86 : public arrayViewWith<86, Ui_fingerForm_86> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_110 : public arrayViewWith<110, Ui_fingerForm_110> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_111 : public arrayViewWith<111, Ui_fingerForm_111> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_64 : public arrayViewWith<64, Ui_fingerForm_64> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_70 : public arrayViewWith<70, Ui_fingerForm_70> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_95 : public arrayViewWith<95, Ui_fingerForm_95> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};
class fingerForm_98 : public arrayViewWith<98, Ui_fingerForm_98> {
    Q_OBJECT
public:
    using forceViewWith::forceViewWith;
};

REGISTER_FINGER_VIEW(42) REGISTER_FINGER_VIEW(44) REGISTER_FINGER_VIEW(69) REGISTER_FINGER_VIEW(76)
REGISTER_FINGER_VIEW(83) REGISTER_FINGER_VIEW(85) REGISTER_FINGER_VIEW(86) REGISTER_FINGER_VIEW(110)
REGISTER_FINGER_VIEW(111) REGISTER_FINGER_VIEW(64) REGISTER_FINGER_VIEW(70) REGISTER_FINGER_VIEW(95)
REGISTER_FINGER_VIEW(98)

#include "arrayViews.moc"
