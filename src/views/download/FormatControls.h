#pragma once

#include "EngineTypes.h"
#include "FormatChoice.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class AppModel;
class Composition;
class OptionMenu;
class QCheckBox;
class QGridLayout;
class QLabel;
class SymbolLabel;

// The eight download-option cells of the expanded options block: quality, codec, format and subtitle
// menus, the audio-only, save-thumbnail and embed-cover switches and the transcribe-after-download switch.
// They edit the state's format choice; after each change made by the user the allowed options are
// refreshed and then the choice is saved. Two columns when the width allows, one otherwise.
class FormatControls : public QWidget {
    Q_OBJECT

public:
    enum Field {
        Quality,
        Codec,
        AudioOnly,
        Container,
        Subtitles,
        SaveThumbnail,
        Transcribe,
        EmbedCover,
        FieldCount
    };

    // Whether the transcribe switch can be used and its tooltip.
    struct TranscribeOption {
        bool isOn = false;
        bool enabled = false;
        QString help;
    };

    explicit FormatControls(AppModel* model, QWidget* parent = nullptr);

    // The qualities the fresh analysis offers, when it was probed and is not a listing.
    static std::optional<QStringList> sourceQualities(const Composition& composition);
    // The quality the menu shows and checks: the choice capped by what the source offers.
    static QString qualityShown(const FormatChoice& format, const AllowedOptions& options,
                                const std::optional<QStringList>& source);
    static TranscribeOption transcribeOption(const AppModel& model);
    // Calls `refresh` whenever what transcribeOption() reads may have changed.
    static void watchTranscribe(AppModel* model, QObject* context, std::function<void()> refresh);

    QSize minimumSizeHint() const override;

    bool twoColumns() const { return m_twoColumns; }
    // The narrowest width at which the two-column grid fits.
    int twoColumnWidth() const;

    OptionMenu* menu(Field field) const;
    QCheckBox* toggle(Field field) const;
    QWidget* label(Field field) const { return m_labels[field]; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void retranslate();
    void layOut(bool twoColumns);
    // A user gesture changed the format: store it, then refresh the allowed options and save.
    void change(const FormatChoice& format);

    AppModel* m_model;
    // The part most of what it shows comes from.
    Composition& m_composition;
    QGridLayout* m_grid;
    bool m_twoColumns = true;
    bool m_laidOut = false;
    std::array<QWidget*, FieldCount> m_labels{};
    std::array<QLabel*, FieldCount> m_labelTexts{};
    std::array<QWidget*, FieldCount> m_controls{};
};
