#include "Job.h"

#include "EngineError.h"
#include "Strings.h"

#include <QLocale>
#include <QStringList>
#include <QUuid>

#include <cmath>
#include <limits>

namespace {

// Whole-number conversions need finite values inside the 64-bit range; anything else counts as zero.
qint64 wholeOrZero(double v) {
    if (!std::isfinite(v) || v >= 9.2e18 || v <= -9.2e18)
        return 0;
    return static_cast<qint64>(v);
}

qint64 roundedOrZero(double v) {
    if (!std::isfinite(v) || std::abs(v) >= 9.2e18)
        return 0;
    return static_cast<qint64>(std::llround(v));
}

// Decimal units, 1000 bytes to the kilobyte, as file sizes are shown on the desktop.
QString formatBytes(qint64 bytes, bool allowKilobytes) {
    const QLocale locale;
    const double b = static_cast<double>(bytes);
    if (std::abs(b) >= 1e9)
        return locale.toString(b / 1e9, 'f', 2) + QStringLiteral(" GB");
    if (allowKilobytes && std::abs(b) < 1e6)
        return locale.toString(std::round(b / 1e3)) + QStringLiteral(" KB");
    const double mb = b / 1e6;
    return locale.toString(mb, 'f', std::abs(mb) >= 100 ? 0 : 1) + QStringLiteral(" MB");
}

} // namespace

Job::Job(QString url, FormatChoice format, QString title, bool allowsListing, QObject* parent)
    : Job(QString(), std::move(url), std::move(format), std::move(title), allowsListing, parent) {}

Job::Job(QString id, QString url, FormatChoice format, QString title, bool allowsListing, QObject* parent)
    : QObject(parent),
      m_id(id.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() : std::move(id)),
      m_url(std::move(url)), m_format(std::move(format)), m_allowsListing(allowsListing),
      m_title(std::move(title)) {}

bool Job::openRun() {
    // One run per job at a time: a second "download.start" for the same id would be refused by the
    // engine, and its failure would land on the job while the first run still goes on.
    if (m_requestOpen)
        return false;
    m_requestOpen = true;
    m_keptForResume = false;
    return true;
}

void Job::restore(bool paused) {
    m_restored = true;
    setState({paused ? State::Paused : State::Waiting, {}});
}

void Job::start() {
    setState({State::Analyzing, {}});
}

void Job::requeue() {
    setState({State::Queued, {}});
    setFraction(0);
}

void Job::apply(const EngineEvent::JobStarted&) {
    // Progress after the request ended would bring a finished job back to life.
    if (m_requestOpen)
        setState({State::Downloading, {}});
}

void Job::apply(const EngineEvent::JobMeta& e) {
    if (!e.title.isEmpty())
        setTitle(e.title);
    if (!e.thumbnail.isEmpty())
        setThumbnailURL(e.thumbnail);
    if (!e.channel.isEmpty())
        setChannel(e.channel);
}

void Job::apply(const EngineEvent::JobProgress& e) {
    if (!m_requestOpen)
        return;
    setState({State::Downloading, {}});
    setFraction(e.fraction);
    setBytesDone(e.downloaded);
    setBytesTotal(e.total);
    setSpeedBytesPerSecond(e.speed);
    setEtaSeconds(e.eta);
    setFragment(e.fragment);
    setFragmentCount(e.fragmentCount);
    setSpeedEngine(e.speedEngine);
}

bool Job::apply(const EngineEvent::JobState& e) {
    using Kind = EngineEvent::JobState::Kind;
    switch (e.state) {
    case Kind::Processing:
        if (m_requestOpen)
            setState({State::Processing, {}});
        return false;
    case Kind::Converting:
        if (m_requestOpen) {
            setState({State::Converting, {}});
            setFraction(e.fraction.value_or(0));
        }
        return false;
    case Kind::Queued:
        if (m_requestOpen)
            setState({State::Queued, {}});
        return false;
    case Kind::Done:
        finish(e.filename);
        return true;
    case Kind::Failed:
        fail(e.message.value_or(Strings::text(QStringLiteral("queue_status_error"))));
        return true;
    case Kind::Cancelled:
        cancel();
        return true;
    case Kind::Other:
        break;
    }
    return false;
}

void Job::finish(const std::optional<QString>& path) {
    setState({State::Done, {}});
    setFraction(1);
    setOutputPath(path);
}

void Job::pause() {
    setState({State::Paused, {}});
}

void Job::cancel() {
    setState({State::Cancelled, {}});
}

void Job::fail(const QString& message) {
    setState(State::failed(message));
}

void Job::failKeepingPart(const QString& message) {
    setState(State::failed(message));
    m_keptForResume = true;
}

void Job::backToWaiting() {
    setState({State::Waiting, {}});
}

Job::RunEnd Job::runEndOf(const EngineError& error) {
    const QString detail = error.detail().value_or(QString());
    const QString text = detail.startsWith(QLatin1String("listing"))
                             ? Strings::text(QStringLiteral("status_listing_url"))
                             : error.message();
    if (detail == QLatin1String("paused"))
        return {RunEnd::Paused, text};
    if (error.isCancelled())
        return {RunEnd::Cancelled, text};
    // A write that failed (a full disk) leaves the part fetched so far: a retry goes on from it.
    if (detail == QLatin1String("io"))
        return {RunEnd::FailedKeepingPart, text};
    return {RunEnd::Failed, text};
}

QString Job::byteCount(qint64 bytes) {
    return formatBytes(bytes, false);
}

QString Job::fileSize(qint64 bytes) {
    return formatBytes(bytes, true);
}

QString Job::byteAmount(qint64 bytes) {
    // Below a megabyte in kilobytes, so a slow or small transfer never reads "0.0 MB"; above it in
    // megabytes however large, as transfers are counted.
    const QLocale locale;
    const double b = static_cast<double>(bytes);
    const double kb = std::round(b / 1e3);
    if (std::abs(kb) < 1000)
        return locale.toString(kb, 'f', 0) + QStringLiteral(" KB");
    const double mb = b / 1e6;
    return locale.toString(mb, 'f', std::abs(mb) >= 100 ? 0 : 1) + QStringLiteral(" MB");
}

QString Job::byteRate(double bytesPerSecond) {
    return byteAmount(wholeOrZero(bytesPerSecond)) + QStringLiteral("/s");
}

QString Job::duration(double seconds) {
    const qint64 n = roundedOrZero(seconds);
    if (n >= 3600) {
        const qint64 hours = n / 3600;
        return QStringLiteral("%1 h %2 min").arg(hours).arg((n - hours * 3600) / 60, 2, 10, QLatin1Char('0'));
    }
    if (n < 60)
        return QStringLiteral("%1 s").arg(n);
    return QStringLiteral("%1 min %2 s").arg(n / 60).arg(n % 60, 2, 10, QLatin1Char('0'));
}

QString Job::roughDuration(double seconds) {
    if (std::isnan(seconds) || seconds < 0)
        return QStringLiteral("0 s");
    if (seconds < 90)
        return QStringLiteral("%1 s").arg(roundedOrZero(seconds));
    const double minutes = seconds / 60;
    if (minutes < 90)
        return QStringLiteral("%1 min").arg(roundedOrZero(minutes));
    const double hours = minutes / 60;
    return std::isfinite(hours) ? QString::asprintf("%.1f h", hours) : QStringLiteral("0 s");
}

QString Job::statusLine() const {
    switch (m_state.kind) {
    case State::Waiting:
        return Strings::text(QStringLiteral("queue_status_waiting"));
    case State::Queued:
        return Strings::text(QStringLiteral("status_starting"));
    case State::Analyzing:
        return Strings::text(QStringLiteral("status_resolving"));
    case State::Paused:
        return Strings::text(QStringLiteral("queue_status_paused"));
    case State::Processing:
        return Strings::text(QStringLiteral("status_processing"));
    case State::Converting: {
        const QMap<QString, QString> values{
            {QStringLiteral("percent"), QString::number(wholeOrZero(m_fraction * 100))}};
        return Strings::text(QStringLiteral("v2_status_converting_mp4"), values);
    }
    case State::Done:
        return Strings::text(QStringLiteral("status_done"));
    case State::Cancelled:
        return Strings::text(QStringLiteral("status_cancelled"));
    case State::Failed:
        return m_state.message;
    case State::Downloading:
        break;
    }
    QStringList pieces;
    if (m_speed > 0)
        pieces << byteRate(m_speed);
    if (m_eta > 0)
        pieces << Strings::text(QStringLiteral("speed_row_eta")) + u' ' + duration(m_eta);
    if (m_bytesTotal >= 1) {
        pieces << byteAmount(m_bytesDone) + QStringLiteral(" / ") + byteAmount(m_bytesTotal);
    } else if (m_fragmentCount >= 1) {
        const QMap<QString, QString> values{{QStringLiteral("n"), QString::number(m_fragment)},
                                            {QStringLiteral("total"), QString::number(m_fragmentCount)}};
        pieces << Strings::text(QStringLiteral("v2_progress_fragment"), values);
    } else if (m_bytesDone >= 1) {
        pieces << byteAmount(m_bytesDone);
    }
    if (pieces.isEmpty())
        return Strings::text(QStringLiteral("status_starting"));
    return pieces.join(QStringLiteral(" \u00B7 "));
}
