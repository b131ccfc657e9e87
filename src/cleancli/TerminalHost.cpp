// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/TerminalHost.h"

#include <utility>

namespace tidyfox::cleancli {

TerminalHost::TerminalHost(std::FILE *progress) : m_progress(progress) {}

TerminalHost::~TerminalHost()
{
    endProgressLine();
}

void TerminalHost::showAlert(const QString &text, AlertKind, const QString &)
{
    m_alert = text;
    m_alertDetail = std::exchange(m_pendingDetail, {});
}

void TerminalHost::setAlertDetail(const QString &detail)
{
    m_pendingDetail = detail;
}

void TerminalHost::hideBusy()
{
    endProgressLine();
}

void TerminalHost::reportProgress(const QString &job, int done, int total)
{
    if (!m_progress || total <= 0)
        return;
    // A line per percent: a terminal redrawn at every track slows the job.
    const int percent = static_cast<int>(qint64(done) * 100 / total);
    if (percent == m_shownPercent && job == m_shownJob)
        return;
    if (job != m_shownJob)
        endProgressLine();
    m_shownPercent = percent;
    m_shownJob = job;
    std::fprintf(m_progress, "\r%s: %d of %d (%d%%)", qPrintable(job), done, total, percent);
    std::fflush(m_progress);
}

void TerminalHost::refreshLibraryList()
{
    m_succeeded = true;
}

QString TerminalHost::lastAlert() const
{
    QString text = m_alert;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (!m_alertDetail.isEmpty())
        text += QLatin1Char('\n') + m_alertDetail;
    return text;
}

void TerminalHost::endProgressLine()
{
    if (!m_progress || m_shownJob.isEmpty())
        return;
    std::fputc('\n', m_progress);
    std::fflush(m_progress);
    m_shownJob.clear();
    m_shownPercent = -1;
}

} // namespace tidyfox::cleancli
