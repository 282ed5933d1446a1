#include "session/UploadProgressPanel.h"

#include "platform/CoalescedUpdate.h"
#include "platform/DisplayName.h"
#include "store/Asset.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr int BarSteps = 1000;
constexpr qint64 RateWindowNs = 4'000'000'000;
constexpr qint64 SteadyWindowNs = 300'000'000;
constexpr qint64 StallNs = 2'000'000'000;

QString dataSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}
} // namespace

UploadProgressPanel::UploadProgressPanel(QWidget *parent)
    : QWidget(parent), m_fileLabel(new QLabel(this)), m_fileBar(new QProgressBar(this)),
      m_batchLabel(new QLabel(tr("All files"), this)), m_batchBar(new QProgressBar(this)),
      m_rateLabel(new QLabel(this)), m_tick(new QTimer(this)),
      m_update(new CoalescedUpdate([this] { refresh(); }, this))
{
    m_tick->setInterval(500);
    connect(m_tick, &QTimer::timeout, this, [this] {
        // The sending clock stands still while the server works on a file.
        if (!awaitingServer())
            sample();
        refresh();
    });
    m_fileBar->setObjectName(QStringLiteral("fileProgressBar"));
    m_batchBar->setObjectName(QStringLiteral("batchProgressBar"));
    m_fileBar->setAccessibleName(tr("Progress of this file"));
    m_batchBar->setAccessibleName(tr("Progress of all files"));
    m_rateLabel->setObjectName(QStringLiteral("uploadRateLabel"));
    for (QProgressBar *bar : {m_fileBar, m_batchBar}) {
        bar->setRange(0, BarSteps);
        bar->setTextVisible(true);
        bar->setAlignment(Qt::AlignCenter);
    }
    m_fileLabel->setTextFormat(Qt::PlainText);
    m_fileLabel->setMinimumWidth(60);
    m_rateLabel->setForegroundRole(QPalette::PlaceholderText);
    QFont small = m_rateLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_rateLabel->setFont(small);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    grid->addWidget(m_fileLabel, 0, 0);
    grid->addWidget(m_fileBar, 0, 1);
    grid->addWidget(m_batchLabel, 1, 0);
    grid->addWidget(m_batchBar, 1, 1);
    grid->addWidget(m_rateLabel, 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, 120);
}

UploadProgressPanel::~UploadProgressPanel() = default;

void UploadProgressPanel::beginBatch(const QList<Asset *> &records)
{
    ++m_batchId;
    m_order.clear();
    m_sizes.clear();
    m_sizesKnown = false;
    m_batchBytes = 0;
    m_finishedBytes = 0;
    m_finishedFiles = 0;
    m_current = nullptr;
    m_currentFraction = 0;
    m_sending.clear();
    m_halting = false;
    m_samples.clear();
    m_rate = 0;
    m_waitedNs = 0;
    m_waitStartedNs = -1;
    m_clock.start();
    m_samples.append({0, 0});
    m_tick->start();

    QStringList paths;
    for (Asset *record : records) {
        m_order.append(record);
        paths.append(record->filePath().value_or(QString()));
    }
    m_currentName = tr("Starting…");
    m_update->cancel();
    refresh();

    // Sizes come from the disk, which may be slow or remote: measured off the GUI thread.
    QPointer<UploadProgressPanel> guard(this);
    const quint64 batch = m_batchId;
    QThreadPool::globalInstance()->start([guard, batch, paths] {
        QList<qint64> sizes;
        sizes.reserve(paths.size());
        for (const QString &path : paths)
            sizes.append(QFileInfo(path).size());
        QMetaObject::invokeMethod(
            qApp,
            [guard, batch, sizes] {
                if (guard)
                    guard->takeSizes(batch, sizes);
            },
            Qt::QueuedConnection);
    });
}

void UploadProgressPanel::takeSizes(quint64 batch, const QList<qint64> &sizes)
{
    if (batch != m_batchId || sizes.size() != m_order.size())
        return;
    m_batchBytes = 0;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        m_sizes.insert(m_order.at(i), sizes.at(i));
        m_batchBytes += sizes.at(i);
    }
    m_sizesKnown = true;
    // Files that finished before the sizes arrived.
    m_finishedBytes = 0;
    for (qsizetype i = 0; i < m_finishedFiles && i < m_order.size(); ++i)
        m_finishedBytes += sizes.at(i);
    // Earlier samples counted without sizes; measuring starts over from here.
    m_samples.clear();
    sample();
    refresh();
    emit sizesMeasured();
}

void UploadProgressPanel::fileStarted(const QObject *record, const QString &fileName)
{
    setAwaitingServer(false);
    m_current = record;
    m_currentFraction = 0;
    m_currentName = DisplayName::visible(fileName);
    m_sending.insert(record, 0);
    m_update->request();
}

void UploadProgressPanel::fileProgress(const QObject *record, qint64 sent, qint64 total)
{
    const auto sending = m_sending.find(record);
    if (sending == m_sending.end() || total <= 0)
        return;
    *sending = std::clamp(double(sent) / double(total), 0.0, 1.0);
    if (record == m_current)
        m_currentFraction = *sending;
    sample();
    setAwaitingServer(awaitingServer());
    m_update->request();
}

void UploadProgressPanel::fileFinished(const QObject *record)
{
    // Files finish in batch order; counting them keeps the late size scan consistent.
    setAwaitingServer(false);
    ++m_finishedFiles;
    m_finishedBytes += m_sizes.value(record, 0);
    m_sending.remove(record);
    if (record == m_current) {
        m_current = nullptr;
        m_currentFraction = 0;
    }
    sample();
    m_update->request();
}

void UploadProgressPanel::setHalting()
{
    m_halting = true;
    m_update->request();
}

void UploadProgressPanel::endBatch()
{
    ++m_batchId;
    m_current = nullptr;
    m_sending.clear();
    m_samples.clear();
    m_tick->stop();
    m_update->cancel();
}

qint64 UploadProgressPanel::doneBytes() const
{
    // Every file on its way counts with its share: a handful at most.
    double sending = 0;
    for (auto it = m_sending.cbegin(); it != m_sending.cend(); ++it)
        sending += it.value() * double(m_sizes.value(it.key(), 0));
    return std::min(m_finishedBytes + qint64(std::llround(sending)), m_batchBytes);
}

qint64 UploadProgressPanel::sendingElapsed() const
{
    const qint64 now = m_clock.nsecsElapsed();
    return now - m_waitedNs - (m_waitStartedNs >= 0 ? now - m_waitStartedNs : 0);
}

void UploadProgressPanel::setAwaitingServer(bool awaiting)
{
    if (awaiting == (m_waitStartedNs >= 0))
        return;
    if (awaiting) {
        m_waitStartedNs = m_clock.nsecsElapsed();
    } else {
        m_waitedNs += m_clock.nsecsElapsed() - m_waitStartedNs;
        m_waitStartedNs = -1;
    }
}

void UploadProgressPanel::sample()
{
    const qint64 now = sendingElapsed();
    m_samples.append({now, doneBytes()});
    while (m_samples.size() > 2 && now - m_samples.constFirst().first > RateWindowNs)
        m_samples.removeFirst();
}

QString UploadProgressPanel::formatDuration(qint64 seconds)
{
    if (seconds < 60)
        //: Seconds
        return tr("%L1 s").arg(std::max<qint64>(seconds, 1));
    if (seconds < 3600)
        //: Minutes and seconds
        return tr("%L1 min %L2 s").arg(seconds / 60).arg(seconds % 60);
    //: Hours and minutes
    return tr("%L1 h %L2 min").arg(seconds / 3600).arg((seconds % 3600) / 60);
}

void UploadProgressPanel::refresh()
{
    m_update->cancel();
    m_fileLabel->setText(m_currentName);
    m_fileLabel->setToolTip(m_currentName);
    const qint64 total = m_sizes.value(m_current, -1);
    m_fileBar->setValue(int(std::lround(m_currentFraction * BarSteps)));
    if (m_current && total >= 0)
        m_fileBar->setFormat(
            //: Bytes sent of the file's size, as "1.2 MB of 3.4 MB"
            tr("%1 of %2").arg(dataSize(qint64(m_currentFraction * double(total))), dataSize(total)));
    else
        m_fileBar->setFormat(QStringLiteral("%p%"));

    const int files = int(m_order.size());
    if (m_sizesKnown && m_batchBytes > 0) {
        const qint64 done = doneBytes();
        m_batchBar->setValue(int(double(done) / double(m_batchBytes) * BarSteps));
        m_batchBar->setFormat(tr("%1 of %2").arg(dataSize(done), dataSize(m_batchBytes)));
    } else {
        m_batchBar->setValue(files > 0 ? m_finishedFiles * BarSteps / files : 0);
        m_batchBar->setFormat(tr("%L1 of %Ln files", "", files).arg(m_finishedFiles));
    }

    // The rate over the last few seconds of sending, so it follows the network rather than the
    // whole past, and the server's time with each file does not drag it down.
    bool stalled = false;
    if (m_sizesKnown && m_samples.size() >= 2) {
        const auto &first = m_samples.constFirst();
        const auto &last = m_samples.constLast();
        const qint64 ns = last.first - first.first;
        const qint64 bytes = last.second - first.second;
        // A whole body sent is a measure too, however fast it went.
        const bool bodySent = m_finishedFiles > 0 || awaitingServer();
        if (bytes > 0 && ns > 0 && (ns >= SteadyWindowNs || bodySent))
            m_rate = double(bytes) * 1e9 / double(ns);
        stalled = ns >= StallNs && bytes == 0;
    }
    // Sizes that came in late start the window over; until it fills, the batch so far will do.
    if (m_rate <= 0 && m_sizesKnown && (m_finishedFiles > 0 || awaitingServer()) && doneBytes() > 0 &&
        sendingElapsed() > 0)
        m_rate = double(doneBytes()) * 1e9 / double(sendingElapsed());
    // Time left is for the bytes still to send; the file in flight counts as sent once its
    // body is out.
    const qint64 toSend = m_batchBytes - doneBytes();
    auto timeLeft = [&] { return formatDuration(qint64(std::ceil(double(toSend) / m_rate))); };
    QString rate = tr("Measuring speed…");
    if (m_halting)
        rate = tr("Stopping after this file…");
    else if (awaitingServer())
        rate = m_sizesKnown && toSend > 0 && m_rate > 0
                   //: %1 is a duration, as "2 min 5 s"
                   ? tr("Waiting for the server… · about %1 left").arg(timeLeft())
                   : tr("Waiting for the server…");
    else if (stalled)
        rate = tr("No data is moving…");
    else if (m_sizesKnown && m_rate > 0)
        //: A speed, as "1.2 MB/s", and a duration
        rate = tr("%1/s · about %2 left").arg(dataSize(qint64(m_rate)), timeLeft());
    m_rateLabel->setText(rate);
}
