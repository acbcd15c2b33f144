// What a failed request or start says, and the log the user reads and sends with a report.
#include "Session.h"

#include "Assign.h"
#include "EngineFailure.h"
#include "EngineLaunchError.h"
#include "EngineProcessError.h"
#include "Strings.h"

#include <QFileInfo>

QString Session::describe(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EngineFailure& e) {
        return e.text();
    } catch (const DecodeError& e) {
        return e.text();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return EngineError::unknownErrorText();
}

bool Session::isTransportFailure(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EngineLaunchError&) {
        return true;
    } catch (const EngineProcessError&) {
        return true;
    } catch (...) {
    }
    return false;
}

bool Session::isCancellation(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const EngineError& e) {
        return e.isCancelled();
    } catch (...) {
    }
    return false;
}

void Session::appendLog(const QString& line) {
    m_log.append(line);
    if (m_log.size() > logLimit)
        m_log.remove(0, m_log.size() - logLimit);
    Q_EMIT logChanged();
}

void Session::clearLog() {
    if (!m_log.isEmpty()) {
        m_log.clear();
        Q_EMIT logChanged();
    }
    setLastError(std::nullopt);
}

void Session::note(const QString& text) {
    appendLog(LogLine::note(text));
}

void Session::note(const EngineEvent::JobLog& line) {
    const QString text = LogLine::withoutMarks(Strings::text(line.key, line.params));
    if (text.isEmpty() || text == line.key)
        return;
    appendLog(LogLine::engine(line.level, text));
}

void Session::report(const QString& message, const std::optional<QString>& detail) {
    appendLog(LogLine::error(message));
    if (detail && !detail->isEmpty() && *detail != message) {
        for (const QString& line : LogLine::details(*detail))
            appendLog(line);
    }
    if (detail && *detail == QLatin1String("no-js-runtime")) {
        applyJSRuntime(false, true);
        return;
    }
    setLastError(AppError{QUuid::createUuid(), message, detail, QDateTime::currentDateTime()});
}

void Session::reportSetAside(const std::vector<SetAsideFile>& files) {
    QStringList names;
    QStringList lines;
    for (const SetAsideFile& file : files) {
        if (m_toldSetAside.contains(file.savedAs))
            continue;
        m_toldSetAside.insert(file.savedAs);
        names << QFileInfo(file.file).fileName();
        const QMap<QString, QString> values{{QStringLiteral("file"), file.file},
                                            {QStringLiteral("savedAs"), file.savedAs}};
        lines << Strings::text(QStringLiteral("log_file_set_aside"), values);
    }
    if (names.isEmpty())
        return;
    const QMap<QString, QString> values{{QStringLiteral("files"), names.join(QStringLiteral(", "))}};
    report(Strings::text(QStringLiteral("notice_files_set_aside"), values), lines.join(u'\n'));
}

void Session::setLastError(const std::optional<AppError>& error) {
    assign(this, m_lastError, error, &Session::lastErrorChanged);
}
