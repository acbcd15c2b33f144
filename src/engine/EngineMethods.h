#pragma once

#include "EngineTypes.h"
#include "StringTable.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <concepts>
#include <optional>
#include <tuple>
#include <type_traits>
#include <vector>

// The catalogue of every request the application sends to the engine. Each method is one struct:
//   name    the method name on the wire
//   Params  its params record; toJson() writes every key, always. NoParams: no "params" member at all.
//   Reply   the record its result decodes to; void when the result is not looked at.
// Senders go through send<M>() (EngineSend.h), so the name, the keys and the reply type cannot drift
// apart. The structs are named after the method; two share a name with the record they answer
// (ListingPage, SearchStatus), so refer to them qualified, without `using namespace`.
namespace EngineMethods {

// Marker: the request carries no "params" member (not even an empty object).
struct NoParams {};

template <class M>
concept WithoutParams = std::same_as<typename M::Params, NoParams>;

// A request whose params hold only the job it is about.
struct JobParams {
    QString jobId;
    QJsonObject toJson() const;
};

// A request whose params hold only a model key.
struct ModelParams {
    QString key;
    QJsonObject toJson() const;
};

struct Hello {
    static constexpr const char* name = "hello";
    using Params = NoParams;
    using Reply = EngineHello;
};

// The text table of the engine's current language (at session start).
struct I18nTable {
    static constexpr const char* name = "i18n.table";
    using Params = NoParams;
    using Reply = StringTable;
};

// The text table of a language the user just chose.
struct I18nTableInLanguage {
    static constexpr const char* name = "i18n.table";
    struct Params {
        QString language;
        QJsonObject toJson() const;
    };
    using Reply = StringTable;
};

struct SettingsGet {
    static constexpr const char* name = "settings.get";
    using Params = NoParams;
    using Reply = EngineSettings;
};

struct SettingsSet {
    static constexpr const char* name = "settings.set";
    using Params = SettingsPatch;
    using Reply = EngineSettings;
};

struct SettingsSetCookieSource {
    static constexpr const char* name = "settings.setCookieSource";
    struct Params {
        QString browser;
        QString file; // no cookie file is ever chosen here: always empty
        QJsonObject toJson() const;
    };
    using Reply = EngineSettings;
};

struct OptionsAllowed {
    static constexpr const char* name = "options.allowed";
    struct Params {
        QString container;
        QJsonObject toJson() const;
    };
    using Reply = AllowedOptions;
};

struct Analyze {
    static constexpr const char* name = "analyze";
    struct Params {
        QString url;
        QString cookieSource;
        QString cookiesFile;
        bool forceGeneric = false;
        QJsonObject toJson() const;
    };
    using Reply = Analysis;
};

struct QueueResolve {
    static constexpr const char* name = "queue.resolve";
    struct Params {
        QStringList urls;
        QString cookieSource;
        QString cookiesFile;
        QJsonObject toJson() const;
    };
    using Reply = QueueResolution;
};

struct ListingPage {
    static constexpr const char* name = "listing.page";
    struct Params {
        QString source;
        qint64 offset = 0;
        qint64 count = 0;
        QString section;
        QString cookieSource;
        QString cookiesFile;
        QJsonObject toJson() const;
    };
    using Reply = ::ListingPage;
};

struct DownloadStart {
    static constexpr const char* name = "download.start";
    using Params = DownloadRequest;
    using Reply = DownloadResult;
};

struct DownloadPause {
    static constexpr const char* name = "download.pause";
    using Params = JobParams;
    using Reply = void;
};

struct DownloadCancel {
    static constexpr const char* name = "download.cancel";
    using Params = JobParams;
    using Reply = void;
};

struct QueueLoad {
    static constexpr const char* name = "queue.load";
    using Params = NoParams;
    using Reply = StoredQueue;
};

struct QueueSave {
    static constexpr const char* name = "queue.save";
    struct Params {
        std::vector<StoredRow> items;
        QJsonObject toJson() const;
    };
    struct Reply {
        qint64 saved = 0;
        static Reply fromJson(const JsonReader& r);
        bool operator==(const Reply&) const = default;
    };
};

struct LibraryList {
    static constexpr const char* name = "library.list";
    // Every page asks for the same number of items.
    static constexpr qint64 limit = 120;
    struct Params {
        qint64 offset = 0;
        // The page before's cursor: the engine goes on after it without counting up to the offset. Sent
        // only when there is one.
        std::optional<QString> cursor;
        QJsonObject toJson() const;
    };
    using Reply = LibraryPage;
};

struct LibraryReveal {
    static constexpr const char* name = "library.reveal";
    struct Params {
        QString path;
        QJsonObject toJson() const;
    };
    using Reply = void;
};

struct LibraryRemove {
    static constexpr const char* name = "library.remove";
    struct Params {
        QStringList paths;
        bool deleteFiles = false;
        QJsonObject toJson() const;
    };
    using Reply = void;
};

struct ThumbnailResolve {
    static constexpr const char* name = "thumbnail.resolve";
    struct Params {
        QString url;
        QString mediaPath;
        QString cookieSource;
        QString cookiesFile;
        QString pageUrl;
        QJsonObject toJson() const;
    };
    struct Reply {
        QString path;
        static Reply fromJson(const JsonReader& r);
        bool operator==(const Reply&) const = default;
    };
};

struct SearchQuery {
    static constexpr const char* name = "search.query";
    struct Params {
        QString text;
        QJsonObject toJson() const;
    };
    using Reply = SearchResults;
};

struct SearchStatus {
    static constexpr const char* name = "search.status";
    using Params = NoParams;
    using Reply = ::SearchStatus;
};

struct SearchReindex {
    static constexpr const char* name = "search.reindex";
    using Params = NoParams;
    using Reply = ReindexResult;
};

struct ModelsList {
    static constexpr const char* name = "models.list";
    using Params = NoParams;
    using Reply = ModelsInfo;
};

struct ModelsOffer {
    static constexpr const char* name = "models.offer";
    using Params = ModelParams;
    using Reply = ModelOffer;
};

struct ModelsDownload {
    static constexpr const char* name = "models.download";
    using Params = ModelParams;
    using Reply = void;
};

struct ModelsCancel {
    static constexpr const char* name = "models.cancel";
    using Params = ModelParams;
    using Reply = void;
};

struct ModelsDelete {
    static constexpr const char* name = "models.delete";
    using Params = ModelParams;
    using Reply = void;
};

struct TranscribeStart {
    static constexpr const char* name = "transcribe.start";
    struct Params {
        QString path;
        QString jobId;
        QJsonObject toJson() const;
    };
    using Reply = TranscribeResult;
};

struct TranscribeCancel {
    static constexpr const char* name = "transcribe.cancel";
    using Params = JobParams;
    using Reply = void;
};

struct ClipSuggest {
    static constexpr const char* name = "clip.suggest";
    struct Params {
        QString path;
        qint64 startMs = 0;
        qint64 endMs = 0;
        bool audioOnly = false;
        QJsonObject toJson() const;
    };
    using Reply = ClipSuggestion;
};

struct ClipExtract {
    static constexpr const char* name = "clip.extract";
    struct Params {
        QString path;
        qint64 startMs = 0;
        qint64 endMs = 0;
        QString jobId;
        ClipMode mode = ClipMode::precise;
        bool audioOnly = false;
        QJsonObject toJson() const;
    };
    using Reply = ClipResult;
};

struct ClipCancel {
    static constexpr const char* name = "clip.cancel";
    using Params = JobParams;
    using Reply = void;
};

struct JsRuntime {
    static constexpr const char* name = "js.runtime";
    struct Params {
        // Asks the engine to look again rather than answer from what it found before.
        bool recheck = true;
        QJsonObject toJson() const;
    };
    struct Reply {
        struct Runtime {
            QString name;
            static Runtime fromJson(const JsonReader& r);
            bool operator==(const Runtime&) const = default;
        };
        // Absent when the engine found no script runtime.
        std::optional<Runtime> runtime;
        static Reply fromJson(const JsonReader& r);
        bool operator==(const Reply&) const = default;
    };
};

struct UpdateCheck {
    static constexpr const char* name = "update.check";
    using Params = NoParams;
    using Reply = UpdateInfo;
};

struct ReportSend {
    static constexpr const char* name = "report.send";
    struct Params {
        QString what;
        QString email;
        QString log;
        QJsonObject toJson() const;
    };
    struct Reply {
        bool sent = false;
        // Where a report that was not sent was kept, so the user can send it by hand.
        std::optional<QString> savedTo;
        static Reply fromJson(const JsonReader& r);
        bool operator==(const Reply&) const = default;
    };
};

struct FavouritesList {
    static constexpr const char* name = "favourites.list";
    using Params = NoParams;
    using Reply = Favourites;
};

struct FavouritesAdd {
    static constexpr const char* name = "favourites.add";
    struct Params {
        QString url;
        QString title;
        QJsonObject toJson() const;
    };
    using Reply = Favourites;
};

struct FavouritesRemove {
    static constexpr const char* name = "favourites.remove";
    struct Params {
        QString url;
        QJsonObject toJson() const;
    };
    using Reply = Favourites;
};

// Sent by the engine client itself when the application quits.
struct Shutdown {
    static constexpr const char* name = "shutdown";
    using Params = NoParams;
    using Reply = void;
};

// Every entry of the catalogue ("i18n.table" twice: with and without a language).
using All = std::tuple<Hello, I18nTable, I18nTableInLanguage, SettingsGet, SettingsSet,
                       SettingsSetCookieSource, OptionsAllowed, Analyze, QueueResolve, ListingPage,
                       DownloadStart, DownloadPause, DownloadCancel, QueueLoad, QueueSave, LibraryList,
                       LibraryReveal, LibraryRemove, ThumbnailResolve, SearchQuery, SearchStatus,
                       SearchReindex, ModelsList, ModelsOffer, ModelsDownload, ModelsCancel, ModelsDelete,
                       TranscribeStart, TranscribeCancel, ClipSuggest, ClipExtract, ClipCancel, JsRuntime,
                       UpdateCheck, ReportSend, FavouritesList, FavouritesAdd, FavouritesRemove, Shutdown>;

// The params object a request of M carries, or nothing for a method without params.
template <class M> std::optional<QJsonObject> paramsJson(const typename M::Params& params) {
    if constexpr (WithoutParams<M>)
        return std::nullopt;
    else
        return params.toJson();
}

} // namespace EngineMethods
