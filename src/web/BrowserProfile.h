#pragma once

#include "CookieMirror.h"
#include "PrivateFolder.h"

#include <QCoro/QCoroTask>
#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QWebEngineProfile;
class QWebEnginePage;

// The built-in browser's one persistent web profile, shared by all its pages, and the copy of its cookie
// jar. Its website data lives in a private folder below `rootFolder`, one sub-folder per generation
// ("profile-<n>"): wiping the data starts a fresh generation and deletes the old folder whole, which is
// the only way to reach every kind of site data (local storage, IndexedDB, ...) on this web engine.
class BrowserProfile : public QObject {
    Q_OBJECT
public:
    // An empty rootFolder means defaultRootFolder(). When the folder is refused (a symbolic link, not
    // ours) the browser still works, but with an in-memory profile that keeps nothing.
    explicit BrowserProfile(QString rootFolder = {}, QObject* parent = nullptr);
    ~BrowserProfile() override;

    static QString defaultRootFolder();

    bool isPersistent() const { return m_root.has_value(); }
    QWebEngineProfile* profile() const { return m_profile; }
    // The folder of the current generation ("" for an in-memory profile).
    QString storageFolder() const;
    const CookieMirror& cookies() const { return *m_mirror; }

    // A new page on the current profile. The caller owns it, but must hold it through a QPointer: renew()
    // deletes every page it made on the profile that it retires, since no page may outlive its profile.
    QWebEnginePage* createPage(QObject* parent = nullptr);

    // Retires the current profile and its data and starts an empty one. Emits aboutToRenew() (pages are
    // to be let go now), deletes the pages left over, switches to the fresh profile (renewed()), then
    // waits until the web engine has closed the old files and removes them. True once they are gone.
    QCoro::Task<bool> renew();

Q_SIGNALS:
    void aboutToRenew();
    void renewed();

private:
    void startGeneration(int number);
    void releasePages();
    static bool hasOpenFilesUnder(const QString& folder);
    void sweepRetired();

    std::optional<PrivateFolder> m_root;
    int m_generation = 0;
    QWebEngineProfile* m_profile = nullptr;
    CookieMirror* m_mirror = nullptr;
    QList<QPointer<QWebEnginePage>> m_pages;
    // The web engine may still write a late file (its shader cache) into a retired folder after it was
    // removed; the root is watched so that such a folder goes again at once.
    QFileSystemWatcher m_rootWatcher;
    QStringList m_retired;
};
