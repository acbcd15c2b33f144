#include "QtFileDialogs.h"

#include "SignalWait.h"

#include <QDir>

namespace {

QCoro::Task<std::optional<QStringList>> runMany(QFileDialog* created) {
    QPointer<QFileDialog> dialog = created;
    dialog->open();
    // Ends when the dialog finishes or is destroyed first; resumed from the event loop, never inside the
    // dialog's own destruction.
    co_await nextSignal(created, &QDialog::finished);
    if (!dialog)
        co_return std::nullopt;
    const int result = dialog->result();
    dialog->deleteLater();
    QStringList chosen;
    for (const QString& path : dialog->selectedFiles()) {
        if (!path.isEmpty())
            chosen << QDir::cleanPath(path);
    }
    if (result != QDialog::Accepted || chosen.isEmpty())
        co_return std::nullopt;
    co_return chosen;
}

QCoro::Task<std::optional<QString>> run(QFileDialog* created) {
    const std::optional<QStringList> chosen = co_await runMany(created);
    if (!chosen)
        co_return std::nullopt;
    co_return chosen->first();
}

} // namespace

QtFileDialogs::QtFileDialogs(QWidget* parentWindow, QFileDialog::Options options)
    : m_parent(parentWindow), m_options(options) {}

QCoro::Task<std::optional<QStringList>> QtFileDialogs::chooseFiles(QString message, QString confirmTitle,
                                                                   QStringList nameFilters) {
    auto* dialog = new QFileDialog(m_parent, message);
    dialog->setOptions(m_options);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setLabelText(QFileDialog::Accept, confirmTitle);
    if (!nameFilters.isEmpty()) {
        dialog->setNameFilters(nameFilters);
        dialog->selectNameFilter(nameFilters.first());
    }
    return runMany(dialog);
}

QCoro::Task<std::optional<QString>> QtFileDialogs::chooseFolder(QString message, QString startFolder) {
    auto* dialog = new QFileDialog(m_parent, message, startFolder);
    dialog->setOptions(m_options | QFileDialog::ShowDirsOnly);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    return run(dialog);
}

QCoro::Task<std::optional<QString>> QtFileDialogs::saveFile(QString message, QString startFolder,
                                                            QString proposedName) {
    auto* dialog = new QFileDialog(m_parent, message, startFolder);
    dialog->setOptions(m_options);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    if (!proposedName.isEmpty())
        dialog->selectFile(proposedName);
    return run(dialog);
}
