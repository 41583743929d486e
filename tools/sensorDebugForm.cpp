#include "sensorDebugForm.h"

#include <QDebug>

sensorDebugForm::sensorDebugForm(QWidget* parent) : QWidget(parent)
{
    qDebug() << "sensorDebugForm new";
}

sensorDebugForm::~sensorDebugForm()
{
    stop();
}

void sensorDebugForm::start()
{
    qDebug() << "sensorDebugForm start";
    started = true;
}

void sensorDebugForm::stop()
{
    qDebug() << "sensorDebugForm stop";
    started = false;
}
