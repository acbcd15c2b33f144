#pragma once

#include <QObject>

// Sets `field` to `value` and emits `signal` of `object`, only when the value changed.
template <class Object, class T, class Signal>
void assign(Object* object, T& field, const T& value, Signal signal) {
    if (field == value)
        return;
    field = value;
    Q_EMIT(object->*signal)();
}
