#include "PrivateFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

std::optional<PrivateFolder> PrivateFolder::open(const QString& path, QString* error) {
    if (path.isEmpty()) {
        setError(error, QStringLiteral("no folder given"));
        return std::nullopt;
    }
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString parent = QFileInfo(clean).path();
    if (!QDir().mkpath(parent)) {
        setError(error, QStringLiteral("cannot create %1").arg(parent));
        return std::nullopt;
    }
    const QByteArray local = QFile::encodeName(clean);
    if (::mkdir(local.constData(), 0700) != 0 && errno != EEXIST) {
        setError(error, QStringLiteral("cannot create %1: %2").arg(clean, errnoText()));
        return std::nullopt;
    }
    // O_NOFOLLOW makes a symbolic link in place of the folder fail here instead of being followed.
    const int fd = ::open(local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        setError(error, QStringLiteral("refused %1: %2").arg(clean, errnoText()));
        return std::nullopt;
    }
    return adopt(fd, clean, error);
}

std::optional<PrivateFolder> PrivateFolder::adopt(int fd, QString path, QString* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        ::close(fd);
        setError(error, QStringLiteral("refused %1: not a folder").arg(path));
        return std::nullopt;
    }
    if (st.st_uid != ::geteuid()) {
        ::close(fd);
        setError(error, QStringLiteral("refused %1: owned by another user").arg(path));
        return std::nullopt;
    }
    if ((st.st_mode & 07777) != 0700 && ::fchmod(fd, 0700) != 0) {
        ::close(fd);
        setError(error, QStringLiteral("refused %1: cannot make it private").arg(path));
        return std::nullopt;
    }
    return PrivateFolder(fd, std::move(path));
}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

PrivateFolder::~PrivateFolder() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PrivateFolder::writeFile(const QString& name, const QByteArray& bytes) const {
    if (m_fd < 0 || !isPlainName(name))
        return false;
    const QByteArray target = QFile::encodeName(name);
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = target + ".tmp-" + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
        fd = ::openat(m_fd, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    // The umask may have taken bits away; the file must be exactly read-write for the owner.
    bool ok = ::fchmod(fd, 0600) == 0;
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += n;
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::renameat(m_fd, temp.constData(), m_fd, target.constData()) == 0;
    if (!ok)
        ::unlinkat(m_fd, temp.constData(), 0);
    return ok;
}

std::optional<QByteArray> PrivateFolder::readFile(const QString& name) const {
    if (m_fd < 0 || !isPlainName(name))
        return std::nullopt;
    const int fd = ::openat(m_fd, QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray out;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.append(buffer, n);
    }
    ::close(fd);
    return out;
}

std::optional<PrivateFolder> PrivateFolder::subFolder(const QString& name, QString* error) const {
    if (m_fd < 0 || !isPlainName(name)) {
        setError(error, QStringLiteral("bad folder name %1").arg(name));
        return std::nullopt;
    }
    const QByteArray local = QFile::encodeName(name);
    if (::mkdirat(m_fd, local.constData(), 0700) != 0 && errno != EEXIST) {
        setError(error, QStringLiteral("cannot create %1: %2").arg(filePath(name), errnoText()));
        return std::nullopt;
    }
    const int fd = ::openat(m_fd, local.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        setError(error, QStringLiteral("refused %1: %2").arg(filePath(name), errnoText()));
        return std::nullopt;
    }
    return adopt(fd, filePath(name), error);
}

QStringList PrivateFolder::entries() const {
    QStringList names;
    if (m_fd < 0)
        return names;
    const int fd = ::dup(m_fd);
    if (fd < 0)
        return names;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

void PrivateFolder::removeEntriesStartingWith(const QString& prefix) const {
    for (const QString& name : entries()) {
        // Without AT_REMOVEDIR a folder is never removed, and a symbolic link is removed, not followed.
        if (name.startsWith(prefix))
            ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0);
    }
}
