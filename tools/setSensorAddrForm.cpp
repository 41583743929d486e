#include "setSensorAddrForm.h"

#include <QDebug>

setSensorAddrForm::setSensorAddrForm(QWidget* parent) : QWidget(parent)
{
    qDebug() << "setSensorAddrForm new";
}

setSensorAddrForm::~setSensorAddrForm()
{
    stop();
}

void setSensorAddrForm::start()
{
    qDebug() << "setSensorAddrForm start";
    started = true;
}

void setSensorAddrForm::stop()
{
    qDebug() << "setSensorAddrForm stop";
    started = false;
}
