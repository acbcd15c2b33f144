#pragma once

#include "CookieMirror.h"
#include "PrivateFolder.h"

#include <QCoro/QCoroTask>
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
// the only way to reach every kind of site data (local storage, IndexedDB, ...) on this web engine. A
// retired generation leaves an empty file under its name, so the web engine cannot write there again.
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
    // closes the old folder off at once (no write of the web engine can reach it any more), waits until the
    // engine has let go of its files and removes them. True once the data is out of the browser's reach.
    QCoro::Task<bool> renew();

Q_SIGNALS:
    void aboutToRenew();
    void renewed();

private:
    void startGeneration(int number);
    void releasePages();
    static bool hasOpenFilesUnder(const QString& folder);
    static QString retiredPrefix();
    // Removes a folder with its contents, or a file; true once nothing is left at path.
    static bool removeEntry(const QString& path);
    // Moves a retired generation folder aside and leaves an empty file in its place; the moved folder's
    // path, or nothing when the folder could not be moved.
    std::optional<QString> closeOff(const QString& folder) const;

    std::optional<PrivateFolder> m_root;
    int m_generation = 0;
    QWebEngineProfile* m_profile = nullptr;
    CookieMirror* m_mirror = nullptr;
    QList<QPointer<QWebEnginePage>> m_pages;
};
