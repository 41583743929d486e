// The taxel-array views: one class per sensor model family, each with its own form. Their
// behaviour lives in taxelView and taxelGrid, their constants in arrayViewTable.

#include "taxelView.h"
#include "viewFactory.h"

#include "ui_fingerForm_102.h"
#include "ui_fingerForm_55.h"
#include "ui_fingerForm_56.h"
#include "ui_fingerForm_81.h"
#include "ui_fingerForm_96.h"

class fingerForm_55 : public taxelViewWith<55, Ui_fingerForm_55> {
    Q_OBJECT
public:
    using taxelViewWith::taxelViewWith;
};
class fingerForm_56 : public taxelViewWith<56, Ui_fingerForm_56> {
    Q_OBJECT
public:
    using taxelViewWith::taxelViewWith;
};
class fingerForm_81 : public taxelViewWith<81, Ui_fingerForm_81> {
    Q_OBJECT
public:
    using taxelViewWith::taxelViewWith;
};
class fingerForm_96 : public taxelViewWith<96, Ui_fingerForm_96> {
    Q_OBJECT
public:
    using taxelViewWith::taxelViewWith;
};
class fingerForm_102 : public taxelViewWith<102, Ui_fingerForm_102> {
    Q_OBJECT
public:
    using taxelViewWith::taxelViewWith;
};

REGISTER_FINGER_VIEW(55) REGISTER_FINGER_VIEW(56) REGISTER_FINGER_VIEW(81) REGISTER_FINGER_VIEW(96)
REGISTER_FINGER_VIEW(102)

#include "taxelViews.moc"
