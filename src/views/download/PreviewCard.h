#pragma once

#include "EngineTypes.h"
#include "FormatChoice.h"
#include "kit/Card.h"

#include <optional>

class AppModel;
class ElidedLabel;
class QLabel;
class SymbolLabel;
class Thumbnail;

// What the engine found at the pasted address, before anything is downloaded: thumbnail, title, channel
// and duration, and the line that says what the source offers and what the download will be saved in,
// following the format choice while it is shown.
class PreviewCard : public Card {
    Q_OBJECT

public:
    static constexpr QSize thumbnailSize{132, 74};

    explicit PreviewCard(AppModel* model, QWidget* parent = nullptr);

    void setAnalysis(const Analysis& analysis);
    const std::optional<Analysis>& analysis() const { return m_analysis; }

    // The quality line: its text and whether it is the orange "could not tell" notice; nothing when
    // there is no line to show.
    struct QualityLine {
        QString text;
        bool undetected = false;
        bool operator==(const QualityLine&) const = default;
    };
    static std::optional<QualityLine> qualityLine(const Analysis& analysis, const FormatChoice& format,
                                                  const AllowedOptions& options);
    // The quality the download will be saved in, named by the source's own description when the cap lands
    // on the source's best quality at or below the choice.
    static QString savedQuality(const Analysis& analysis, const QString& source, const QString& chosen,
                                const AllowedOptions& options);

    ElidedLabel* titleLabel() const { return m_title; }
    QLabel* channelLabel() const { return m_channel; }
    QLabel* durationLabel() const { return m_duration; }
    QLabel* qualityLabel() const { return m_quality; }
    Thumbnail* thumbnail() const { return m_thumbnail; }

private:
    void refresh();

    AppModel* m_model;
    std::optional<Analysis> m_analysis;
    Thumbnail* m_thumbnail;
    ElidedLabel* m_title;
    QWidget* m_facts;
    SymbolLabel* m_channelIcon;
    QLabel* m_channel;
    SymbolLabel* m_durationIcon;
    QLabel* m_duration;
    QWidget* m_qualityRow;
    SymbolLabel* m_qualityIcon;
    QLabel* m_quality;
};
