#pragma once

#include "AppModel.h"
#include "EngineTypes.h"

#include <QDialog>
#include <QPointer>

#include <optional>

class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;

// Offers one speech model for download, follows the download while it runs (also one started elsewhere)
// and, once it is installed, lets the user use it for transcription or delete it (after a confirmation).
// It keeps only the offer it fetched; whether the model is installed or downloading is read live from
// the state.
class ModelOptInSheet : public QDialog {
    Q_OBJECT
public:
    enum class Stage { Offer, Downloading, Installed };

    ModelOptInSheet(AppModel& model, QString modelKey, QWidget* parent = nullptr);

    const QString& modelKey() const { return m_key; }
    const std::optional<ModelOffer>& offer() const { return m_offer; }
    bool installed() const;
    Stage stage() const;
    // The sentence under the model's name.
    QString detail() const;
    // The delete confirmation while it is up.
    QMessageBox* deleteConfirmation() const { return m_confirm; }

    static constexpr QSize size{480, 320};

Q_SIGNALS:
    // A fetch of the offer finished and its answer (or nothing) is now held.
    void offerFetched();

private:
    void fetchOffer();
    void confirmDelete();
    void use();
    qint64 bytesOnDisk() const;
    void refresh();
    void modelsChanged();
    // Whether the engine lists any installed model; nothing while the list is unknown.
    std::optional<bool> anyInstalled() const;

    AppModel& m_model;
    QString m_key;
    std::optional<ModelOffer> m_offer;
    std::optional<bool> m_anyInstalled;
    QLabel* m_title;
    QLabel* m_name;
    QLabel* m_detail;
    QProgressBar* m_progress;
    QLabel* m_caption;
    QPushButton* m_delete;
    QPushButton* m_close;
    QPushButton* m_done;
    QPushButton* m_dismiss;
    QPushButton* m_cancelDownload;
    QPushButton* m_download;
    QPointer<QMessageBox> m_confirm;
};
