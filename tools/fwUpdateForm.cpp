#include "fwUpdateForm.h"

#include <QDebug>

fwUpdateForm::fwUpdateForm(QWidget* parent) : QWidget(parent)
{
    qDebug() << "fwUpdateForm new";
}

fwUpdateForm::~fwUpdateForm()
{
    stop();
}

void fwUpdateForm::start()
{
    qDebug() << "fwUpdateForm start";
    started = true;
}

void fwUpdateForm::stop()
{
    qDebug() << "fwUpdateForm stop";
    started = false;
}
