#pragma once

#include <QDebug>

#include <QCoro/QCoroTask>

#include <exception>
#include <optional>

// Awaits a desktop service's task; a failure becomes nothing (with a warning), so the action awaiting it
// goes on and leaves its state whole.
template <class T> QCoro::Task<std::optional<T>> guarded(QCoro::Task<T> task) {
    try {
        co_return co_await std::move(task);
    } catch (const std::exception& e) {
        qWarning().noquote() << "[app] a desktop service failed:" << e.what();
    } catch (...) {
        qWarning().noquote() << "[app] a desktop service failed";
    }
    co_return std::nullopt;
}

// The same for a task without a result: true when it finished.
inline QCoro::Task<bool> guarded(QCoro::Task<void> task) {
    try {
        co_await std::move(task);
        co_return true;
    } catch (const std::exception& e) {
        qWarning().noquote() << "[app] a desktop service failed:" << e.what();
    } catch (...) {
        qWarning().noquote() << "[app] a desktop service failed";
    }
    co_return false;
}
