#pragma once

#include <QtGlobal>

#include <functional>

class QMessageBox;
class QWidget;

// The question asked before a speech model is deleted, the same wherever a delete is offered: the model's
// size on disk, a destructive delete button and Cancel, which is the default and what Escape presses.
// Opens window-modal at once; `remove` runs only when the delete button was pressed.
QMessageBox* askDeleteModel(QWidget* parent, qint64 bytesOnDisk, std::function<void()> remove);
