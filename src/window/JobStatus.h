// SPDX-License-Identifier: GPL-3.0-or-later
// What the face shows of a job besides the texts of its face variables: how
// far the job is, and the reason under a failure alert. It reaches the scene
// as an object of its own (the context property "jobStatus"), so the
// variables a job sets stay exactly as they are.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

namespace tidyfox::window {

class JobStatus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString alertDetail READ alertDetail NOTIFY alertDetailChanged)
    Q_PROPERTY(QString progressJob READ progressJob NOTIFY progressChanged)
    Q_PROPERTY(int progressDone READ progressDone NOTIFY progressChanged)
    Q_PROPERTY(int progressTotal READ progressTotal NOTIFY progressChanged)
    Q_PROPERTY(int undoJob READ undoJob NOTIFY undoJobChanged)
    Q_PROPERTY(bool listening READ listening NOTIFY listeningChanged)
public:
    explicit JobStatus(QObject *parent = nullptr);

    // The line under the alert shown now; empty for none.
    QString alertDetail() const { return m_alertDetail; }
    void setAlertDetail(const QString &detail);

    // The job of the library's history that the alert shown now can undo
    // ("IDC_FS_undoLast"); 0 for none.
    int undoJob() const { return m_undoJob; }
    void setUndoJob(int jobId);

    // The job under way ("Removing duplicates"), how many of its steps are
    // done and how many there are; total 0 when no job reports progress.
    QString progressJob() const { return m_shownJob; }
    int progressDone() const { return m_shownDone; }
    int progressTotal() const { return m_shownTotal; }

    // Called as often as a job likes: the face and the bus hear of it at most
    // every few frames, and always of a new job and of its last step, so
    // that reporting costs a job next to nothing.
    void reportProgress(const QString &job, int done, int total);
    void endProgress();

    // Fingerprints are being made: the busy text says how far, and the face
    // offers to stop ("IDC_FS_stopListening").
    bool listening() const { return m_listening; }
    void setListening(bool listening);

Q_SIGNALS:
    void alertDetailChanged();
    void undoJobChanged();
    void listeningChanged();
    void progressChanged(const QString &job, int done, int total);

private:
    void announce(const QString &job, int done, int total);

    QString m_alertDetail;
    int m_undoJob = 0;
    bool m_listening = false;
    QString m_shownJob;
    int m_shownDone = 0;
    int m_shownTotal = 0;
    QElapsedTimer m_sinceShown;
};

} // namespace tidyfox::window
