#pragma once

class QPushButton;
class QString;
class QWidget;

// A sheet's button named `name` (its text key). Return presses only the button a sheet made default,
// never the one that has focus.
QPushButton* sheetButton(const QString& name, QWidget* parent);
