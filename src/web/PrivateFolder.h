#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// A folder that only the current user can reach, held open by descriptor so that every later file
// operation happens inside the very folder that was checked, whatever happens to its path meanwhile.
class PrivateFolder {
public:
    // Creates the folder 0700 when it is missing (its parents as needed) and opens it. A symbolic link,
    // something that is not a folder, or a folder owned by someone else is refused: nullopt, with the
    // reason in *error. A folder of ours that others may enter is closed to them first.
    static std::optional<PrivateFolder> open(const QString& path, QString* error = nullptr);

    PrivateFolder(PrivateFolder&& other) noexcept;
    PrivateFolder& operator=(PrivateFolder&& other) noexcept;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder();

    const QString& path() const { return m_path; }
    QString filePath(const QString& name) const { return m_path + QLatin1Char('/') + name; }

    // Writes a complete file atomically: a new file created 0600 (never readable by others, even for a
    // moment) replaces `name` in one rename. False when any step fails; nothing half-written remains.
    bool writeFile(const QString& name, const QByteArray& bytes) const;
    std::optional<QByteArray> readFile(const QString& name) const;

    // A sub-folder, created 0700 when missing, under the same rules as open().
    std::optional<PrivateFolder> subFolder(const QString& name, QString* error = nullptr) const;

    // Names of all entries, hidden ones included; empty when the folder cannot be listed.
    QStringList entries() const;
    // Removes every entry whose name starts with prefix that is not a folder; failures are passed over.
    void removeEntriesStartingWith(const QString& prefix) const;

private:
    PrivateFolder(int fd, QString path) : m_fd(fd), m_path(std::move(path)) {}
    static std::optional<PrivateFolder> adopt(int fd, QString path, QString* error);

    int m_fd = -1;
    QString m_path;
};
