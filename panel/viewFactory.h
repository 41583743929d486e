#pragma once
// Which model view shows a sensor type, and how views make themselves known.

#include <QSize>
#include <QWidget>
#include <cstdint>

class class_finger;

namespace viewFactory {

using Creator = class_finger* (*)(QWidget* parent);
// The least size a view of a class needs, taken from its form alone: it makes no view.
using Measure = QSize (*)();

// Class number of the view that shows a type code (aliases resolved); 0 when no view shows it.
// 255 is not a type: the caller resolves it by frame length first.
uint8_t viewClassFor(uint8_t typeCode);
// Type code of the first catalogue record whose frame length is packLen; 255 when none.
uint8_t typeForFrameLength(int packLen);

bool registerView(uint8_t classNumber, Creator create, Measure measure = nullptr);
bool isRegistered(uint8_t classNumber);
// A new view of that class with the given parent; null when the class is not built in.
class_finger* create(uint8_t classNumber, QWidget* parent);
// The minimum size hint of a widget never shown, its layouts asked afresh: until shown they keep
// the figures of their first query, from before all their children were in.
QSize freshMinimumSize(QWidget& widget);
// The least size of a Designer form built on a bare widget and then shaped as its owner shapes
// it (shape(Form&)): how a view or the panel is measured without being made.
template <class Form, class Shape>
QSize measureForm(Shape shape)
{
    QWidget widget;
    Form form;
    form.setupUi(&widget);
    shape(form);
    return freshMinimumSize(widget);
}
// The least size of a view of that class, from its form; invalid when the class has no measure.
QSize formMinimumSize(uint8_t classNumber);
// The largest of those sizes among the registered views, width and height each on its own. Taken
// from the forms alone: no view is made, so sizing the window logs none before a sensor comes.
QSize largestMinimumSize();

}  // namespace viewFactory

// In a view's .cpp: registers fingerForm_NN as the creator for class number NN, and its static
// formMinimumSize() as the measure of its form.
#define REGISTER_FINGER_VIEW(NN)                                                                   \
    namespace {                                                                                    \
    const bool registered_fingerForm_##NN = viewFactory::registerView(                             \
        NN, [](QWidget* parent) -> class_finger* { return new fingerForm_##NN(parent); },         \
        &fingerForm_##NN::formMinimumSize);                                                        \
    }
