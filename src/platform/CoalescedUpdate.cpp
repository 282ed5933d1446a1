#include "platform/CoalescedUpdate.h"

#include <algorithm>

CoalescedUpdate::CoalescedUpdate(std::function<void()> update, QObject *parent, int intervalMs)
    : QObject(parent), m_update(std::move(update)), m_intervalMs(intervalMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_pending)
            run();
    });
}

CoalescedUpdate::~CoalescedUpdate() = default;

void CoalescedUpdate::request()
{
    m_pending = true;
    if (m_timer.isActive())
        return;
    const qint64 since = m_lastRun.isValid() ? m_lastRun.elapsed() : m_intervalMs;
    if (since >= m_intervalMs)
        run();
    else
        m_timer.start(int(std::max<qint64>(m_intervalMs - since, 1)));
}

void CoalescedUpdate::flush()
{
    if (m_pending)
        run();
}

void CoalescedUpdate::cancel()
{
    m_pending = false;
    m_timer.stop();
}

void CoalescedUpdate::run()
{
    m_pending = false;
    m_timer.stop();
    m_lastRun.start();
    m_update();
}
