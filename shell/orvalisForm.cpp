#include "orvalisForm.h"

#include <QDebug>

orvalisForm::orvalisForm(QWidget* parent) : QWidget(parent)
{
    qDebug() << "orvalisForm new";
}

orvalisForm::~orvalisForm()
{
    stop();
    qDebug() << "orvalisForm delete";
}

void orvalisForm::start()
{
    qDebug() << "orvalisForm start";
}

void orvalisForm::stop()
{
    qDebug() << "orvalisForm stop";
}
