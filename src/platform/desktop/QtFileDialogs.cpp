#include "QtFileDialogs.h"

#include <QDir>

#include <coroutine>

namespace {

// Resumes when the dialog finishes (its result) or is destroyed first (nothing), whichever comes first.
struct DialogFinished {
    QFileDialog* dialog;
    std::optional<int> result;
    QMetaObject::Connection finished;
    QMetaObject::Connection destroyed;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) {
        finished = QObject::connect(dialog, &QDialog::finished, [this, waiting](int r) {
            result = r;
            resume(waiting);
        });
        destroyed = QObject::connect(dialog, &QObject::destroyed, [this, waiting] { resume(waiting); });
    }
    std::optional<int> await_resume() const noexcept { return result; }

    void resume(std::coroutine_handle<> waiting) {
        QObject::disconnect(finished);
        QObject::disconnect(destroyed);
        waiting.resume();
    }
};

QCoro::Task<std::optional<QStringList>> runMany(QFileDialog* created) {
    QPointer<QFileDialog> dialog = created;
    dialog->open();
    const std::optional<int> result = co_await DialogFinished{dialog.data(), {}, {}, {}};
    if (!dialog)
        co_return std::nullopt;
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
