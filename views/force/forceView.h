#pragma once
// The one design of every force-vector view: a gauge per force point, a bar per proximity
// channel, driven by the decoder through the class_finger setters.

#include "class_finger.h"
#include "forceViewTable.h"

#include <QWidget>
#include <memory>

class forceView : public QWidget, public class_finger {
public:
    void setShowData(bool show) override;
    void setYdds(uint8_t point, float normal, float tangential, uint16_t direction) override;
    void setSProx(uint8_t ch, uint32_t value) override;
    void setMProx(uint8_t ch, uint32_t value) override;

protected:
    forceView(const forceViewTraits& traits, QWidget* parent);
    // Once the form stands: ranges the bars the view's record counts.
    void rangeBars();

private:
    const forceViewTraits& traits;
    bool showData = false;
};

// A view class NN with its form class: builds the form on the view and owns the form object.
template <uint8_t NN, class Form>
class forceViewWith : public forceView {
    static_assert(forceViewTable::contains(NN), "every force-vector view has a row in the table");

public:
    explicit forceViewWith(QWidget* parent = nullptr)
        : forceView(forceViewTable::of(NN), parent), ui(std::make_unique<Form>())
    {
        qDebug("fingerForm_%d new", int(NN));
        ui->setupUi(this);
        rangeBars();
    }
    ~forceViewWith() override { qDebug("fingerForm_%d delete", int(NN)); }

protected:
    const std::unique_ptr<Form> ui;  // pointers into the view's own widget tree
};
