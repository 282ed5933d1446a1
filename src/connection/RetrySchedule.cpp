#include "RetrySchedule.h"

#include <QNetworkInformation>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

namespace {
// Qt's network information, loaded once; null where no backend can tell.
QNetworkInformation *networkInformation()
{
    static const bool loaded =
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    return loaded ? QNetworkInformation::instance() : nullptr;
}
} // namespace

RetrySchedule::RetrySchedule(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &RetrySchedule::retryNow);
}

RetrySchedule::~RetrySchedule() = default;

void RetrySchedule::reset()
{
    cancelWait();
    answered();
}

void RetrySchedule::answered()
{
    m_inARow = 0;
    m_waits = 0;
    m_trouble.invalidate();
    m_offlineMs = 0;
}

void RetrySchedule::troubleBegins()
{
    ++m_inARow;
    if (!m_trouble.isValid())
        m_trouble.start();
}

qint64 RetrySchedule::nextWait()
{
    // 2, 4, 8 … seconds, no longer than the longest wait.
    const int doublings = std::min(m_waits++, 30);
    return std::min<qint64>(qint64(m_limits.firstWaitMs) << doublings, m_limits.longestWaitMs);
}

bool RetrySchedule::outOfTime(qint64 waitMs) const
{
    // Time without a network is not the server's: it does not count.
    return m_trouble.elapsed() - m_offlineMs + waitMs > m_limits.retryForMs;
}

RetrySchedule::Decision RetrySchedule::notDelivered(int tries, std::optional<qint64> retryAfterMs)
{
    troubleBegins();
    const bool pause = m_inARow >= FailuresBeforePause;
    if (!retrying())
        return {pause ? Step::Stop : Step::Fail};
    // The server's own word on when to come back counts, within the longest wait.
    const qint64 waitMs =
        retryAfterMs ? std::clamp<qint64>(*retryAfterMs, 0, m_limits.longestWaitMs) : nextWait();
    if (outOfTime(waitMs))
        return {pause ? Step::Stop : Step::Fail};
    if (pause)
        return {Step::Pause, waitMs};
    if (m_limits.retries && tries > *m_limits.retries)
        return {Step::Fail};
    return {Step::Retry, waitMs};
}

RetrySchedule::Decision RetrySchedule::gateway()
{
    troubleBegins();
    if (m_inARow < FailuresBeforePause)
        return {Step::Next};
    if (!retrying())
        return {Step::Stop};
    const qint64 waitMs = nextWait();
    return outOfTime(waitMs) ? Decision{Step::Stop} : Decision{Step::Pause, waitMs};
}

RetrySchedule::Decision RetrySchedule::probeFailed()
{
    const qint64 waitMs = nextWait();
    return outOfTime(waitMs) ? Decision{Step::Stop} : Decision{Step::Pause, waitMs};
}

qint64 RetrySchedule::troubleMinutes() const
{
    return m_trouble.isValid() ? m_trouble.elapsed() / 60000 : 0;
}

void RetrySchedule::wait(qint64 ms, std::function<void()> then)
{
    m_then = std::move(then);
    m_until = QDateTime::currentDateTimeUtc().addMSecs(ms);
    m_timer->start(int(std::clamp<qint64>(ms, 0, INT_MAX)));
}

void RetrySchedule::retryNow()
{
    m_timer->stop();
    if (m_networkWatch) {
        m_offlineMs += m_offlineSince.elapsed();
        delete m_networkWatch.data();
    }
    // Taken out first: what runs may wait again.
    const std::function<void()> then = std::exchange(m_then, {});
    m_until = {};
    if (then)
        then();
}

void RetrySchedule::cancelWait()
{
    m_timer->stop();
    delete m_networkWatch.data();
    m_then = {};
    m_until = {};
}

bool RetrySchedule::isOffline() const
{
    const QNetworkInformation *information = networkInformation();
    return information && information->reachability() == QNetworkInformation::Reachability::Disconnected;
}

void RetrySchedule::waitForNetwork(std::function<void()> then)
{
    QNetworkInformation *information = networkInformation();
    if (!isOffline()) {
        wait(0, std::move(then));
        return;
    }
    // Some backends call a network without a route to the Internet none at all, where a server on
    // the local network may well answer: after the longest wait the batch tries all the same.
    cancelWait();
    wait(m_limits.longestWaitMs, std::move(then));
    m_until = {};
    m_offlineSince.start();
    m_networkWatch = new QObject(this);
    connect(information, &QNetworkInformation::reachabilityChanged, m_networkWatch,
            [this](QNetworkInformation::Reachability reachability) {
                if (reachability != QNetworkInformation::Reachability::Disconnected)
                    retryNow();
            });
}
