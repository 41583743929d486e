#pragma once
// The one design of every force-vector view: a gauge per force point, a bar per proximity
// channel, driven by the decoder through the class_finger setters.

#include "class_finger.h"
#include "forceViewTable.h"
#include "viewFactory.h"

#include <QSize>
#include <QWidget>
#include <memory>

class forceView : public QWidget, public class_finger {
public:
    void setShowData(bool show) override;
    void setYdds(uint8_t point, float normal, float tangential, uint16_t direction) override;
    void setSProx(uint8_t ch, uint32_t value) override;
    void setMProx(uint8_t ch, uint32_t value) override;

    // The table of this family; a family built on this design names its own.
    static constexpr bool hasRow(uint8_t classNumber) { return forceViewTable::contains(classNumber); }
    static constexpr const forceViewTraits& row(uint8_t classNumber) { return forceViewTable::of(classNumber); }

    // What a family adds to a form that changes its size, done to a form on a bare widget too.
    template <class Form>
    static void shapeForm(Form&, const forceViewTraits&)
    {
    }

protected:
    forceView(const forceViewTraits& traits, QWidget* parent);
    // Once the form stands: ranges the bars the view's record counts (without a record, the form's).
    void rangeBars();
    bool showsData() const { return showData; }

private:
    const forceViewTraits& traits;
    bool showData = false;
};

// A view class NN with its form class: builds the form on the view and owns the form object.
// Base is forceView or a family built on it, with its own table.
template <uint8_t NN, class Form, class Base = forceView>
class forceViewWith : public Base {
    static_assert(Base::hasRow(NN), "every view has a row in its family's table");

public:
    explicit forceViewWith(QWidget* parent = nullptr) : Base(Base::row(NN), parent), ui(std::make_unique<Form>())
    {
        qDebug("fingerForm_%d new", int(NN));
        ui->setupUi(this);
        this->rangeBars();
    }
    ~forceViewWith() override { qDebug("fingerForm_%d delete", int(NN)); }

    // The least size a view of this class needs, from its form on a bare widget: no view is made.
    static QSize formMinimumSize()
    {
        return viewFactory::measureForm<Form>([](Form& form) { Base::shapeForm(form, Base::row(NN)); });
    }

protected:
    const std::unique_ptr<Form> ui;  // pointers into the view's own widget tree
};
