#include "taxelView.h"

#include "sensorForm.h"

taxelView::taxelView(const arrayViewTraits& traits, QWidget* parent) : arrayView(traits, parent), traits(traits)
{
}

void taxelView::shapeGrid(sensorForm& grid, const arrayViewTraits& traits)
{
    grid.setRowColumnCount(traits.grid.rows, traits.grid.cols);
}

void taxelView::buildGrid()
{
    shapeGrid(grid(), traits);
    sensorList = taxelGrid::neighbourLists(traits.grid.rows, traits.grid.cols);
}

void taxelView::setPressNList(QVector<float> values, float fullScale)
{
    taxelGrid::show(grid(), traits.grid, sensorList, sinCosTable, values, fullScale, showsData());
}
