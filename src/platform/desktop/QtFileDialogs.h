#pragma once

#include "FileDialogs.h"

#include <QFileDialog>
#include <QPointer>

// QFileDialog, opened window-modal with open() (never exec(): no nested event loop) and awaited.
class QtFileDialogs : public FileDialogs {
public:
    // `options` are added to every dialog (tests pass QFileDialog::DontUseNativeDialog).
    explicit QtFileDialogs(QWidget* parentWindow = nullptr, QFileDialog::Options options = {});

    void setParentWindow(QWidget* window) { m_parent = window; }

    QCoro::Task<std::optional<QString>> chooseFolder(QString message, QString startFolder) override;
    QCoro::Task<std::optional<QStringList>> chooseFiles(QString message, QString confirmTitle,
                                                        QStringList nameFilters) override;
    QCoro::Task<std::optional<QString>> saveFile(QString message, QString startFolder,
                                                 QString proposedName) override;

private:
    QPointer<QWidget> m_parent;
    QFileDialog::Options m_options;
};
