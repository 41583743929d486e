#include "taxelView.h"

#include "sensorForm.h"

taxelView::taxelView(const arrayViewTraits& traits, QWidget* parent) : arrayView(traits, parent), traits(traits)
{
}

void taxelView::buildGrid()
{
    grid().setRowColumnCount(traits.grid.rows, traits.grid.cols);
    sensorList = taxelGrid::neighbourLists(traits.grid.rows, traits.grid.cols);
}

void taxelView::setPressNList(QVector<float> values, float fullScale)
{
    taxelGrid::show(grid(), traits.grid, sensorList, sinCosTable, values, fullScale, showsData());
}
