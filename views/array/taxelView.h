#pragma once
// The taxel-array views: the array-view design with a taxel grid whose cells show each taxel's
// load mixed with its neighbours' and an arrow along the resultant of the neighbours' forces.

#include "arrayView.h"
#include "taxelGrid.h"

class sensorForm;

class taxelView : public arrayView {
public:
    using member_ts = taxelGrid::member_ts;
    using sensor_ts = taxelGrid::sensor_ts;
    using force_in_ts = taxelGrid::force_in_ts;
    using ydds_out_ts = taxelGrid::ydds_out_ts;

    void setPressNList(QVector<float> values, float fullScale) override;

    // The grid's cells size the form.
    template <class Form>
    static void shapeForm(Form& ui, const arrayViewTraits& traits)
    {
        shapeGrid(*ui.wgSensor, traits);
    }

protected:
    taxelView(const arrayViewTraits& traits, QWidget* parent);
    // Once the form stands: the grid's cells and every taxel's neighbours.
    void buildGrid();
    // The form's taxel grid.
    virtual sensorForm& grid() const = 0;

private:
    static void shapeGrid(sensorForm& grid, const arrayViewTraits& traits);

    const arrayViewTraits& traits;
    QVector<sensor_ts> sensorList;  // entry k: the neighbours of data index k
    taxelGrid::SinCosTable sinCosTable = taxelGrid::kSinCosTable;
};

// A taxel-array view class NN with its form class.
template <uint8_t NN, class Form>
class taxelViewWith : public forceViewWith<NN, Form, taxelView> {
    static_assert(taxelView::row(NN).grid.rows > 0 && taxelView::row(NN).grid.cols > 0,
                  "a taxel-array view's row gives its grid");

public:
    explicit taxelViewWith(QWidget* parent = nullptr) : forceViewWith<NN, Form, taxelView>(parent)
    {
        this->buildGrid();
    }

protected:
    sensorForm& grid() const override { return *this->ui->wgSensor; }
};
