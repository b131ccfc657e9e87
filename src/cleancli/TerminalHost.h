// SPDX-License-Identifier: GPL-3.0-or-later
// The cleaning jobs' host in a terminal: no window to reload or buttons to
// give back; what a job tells at its end is kept for the caller, and its
// progress goes to standard error only when a person watches there.
#pragma once

#include "cleaning/CleaningHost.h"

#include <QString>
#include <cstdio>

namespace tidyfox::cleancli {

class TerminalHost : public cleaning::CleaningHost
{
public:
    // progress: where progress lines go, or null for none.
    explicit TerminalHost(std::FILE *progress);
    ~TerminalHost() override;

    void showAlert(const QString &text, AlertKind kind, const QString &title) override;
    void setAlertDetail(const QString &detail) override;
    void hideBusy() override;
    void reportProgress(const QString &job, int done, int total) override;
    void refreshLibraryList() override;
    void enableButtons() override {}
    void reopenCommandGate() override {}
    // Nothing waits for events here: the library is asked with blocking calls.
    void yieldOnce() override {}
    void jobRecorded(std::int32_t jobId) override { m_recordedJob = jobId; }
    void playerChangeWaits(const QString &line) override { m_playerWaiting = line; }

    // The job of the library's history the run wrote; 0 when it changed
    // nothing.
    std::int32_t recordedJob() const { return m_recordedJob; }
    // Why the job's change has not reached the player's library yet.
    const QString &playerWaiting() const { return m_playerWaiting; }

    // A job reloads the library only when it went to its end.
    bool jobSucceeded() const { return m_succeeded; }
    // The last alert, its line breaks as the terminal's, and the reason under it.
    QString lastAlert() const;
    // The line under the last alert: why a job stopped, or what else it says.
    QString alertDetail() const { return m_alertDetail; }

private:
    void endProgressLine();

    std::FILE *m_progress;
    QString m_alert;
    QString m_alertDetail;
    QString m_pendingDetail;
    bool m_succeeded = false;
    std::int32_t m_recordedJob = 0;
    QString m_playerWaiting;
    int m_shownPercent = -1;
    QString m_shownJob;
};

} // namespace tidyfox::cleancli
