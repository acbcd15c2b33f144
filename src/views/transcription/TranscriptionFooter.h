#pragma once

#include <QAction>
#include <QWidget>

#include <optional>

class AppModel;
class ElidedLabel;
class LinkButton;
class QAction;
class QLabel;
class QMenu;
class QToolButton;
class SymbolLabel;
struct EngineSettings;
struct ModelsInfo;

// The bar under the transcription pane: the model and language in use, the menu of where transcripts
// go (beside the media, or a chosen folder), the last refusal of a file, and the way to the model
// settings. Everything follows the state.
class TranscriptionFooter : public QWidget {
    Q_OBJECT

public:
    explicit TranscriptionFooter(AppModel* model, QWidget* parent = nullptr);

    // "Model: … · Language: …"; empty while the engine has not described its models.
    static QString modelLine(const std::optional<EngineSettings>& settings,
                             const std::optional<ModelsInfo>& models);
    // The title of the folder menu: the chosen folder's name, or "beside the media".
    static QString destination(const std::optional<EngineSettings>& settings);

    QLabel* modelLabel() const { return m_modelLine; }
    QToolButton* folderButton() const { return m_folder; }
    QAction* besideAction() const { return m_beside; }
    QAction* chooseAction() const { return m_choose; }
    QWidget* refusalRow() const { return m_refusal; }
    ElidedLabel* refusalLabel() const { return m_refusalText; }

    // True while "beside the media" carries the mark (no folder chosen).
    bool besideMarked() const { return m_besideMarked; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void refresh();

    AppModel* m_model;
    QLabel* m_modelLine;
    QToolButton* m_folder;
    QMenu* m_menu;
    QAction* m_beside;
    QAction* m_choose;
    QWidget* m_refusal;
    ElidedLabel* m_refusalText;
    LinkButton* m_manage;
    bool m_besideMarked = false;
};
