#pragma once

#include <QObject>

// Sets `field` and emits `object`'s `signal`, only when the value really changed.
template <class Object, class T, class Signal>
void assign(Object* object, T& field, const T& value, Signal signal) {
    if (field == value)
        return;
    field = value;
    Q_EMIT(object->*signal)();
}
