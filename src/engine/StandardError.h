#pragma once

#include <QByteArrayView>

// Writes bytes to the application's standard error unchanged and unbuffered.
void writeStandardError(QByteArrayView bytes);
