// SPDX-License-Identifier: GPL-3.0-or-later
// What the cleaning jobs need of the main window: its feedback, the library
// reload, the command gate, the face's buttons and a yield to pending window
// events. MainWindow implements it; tests record the calls.
#pragma once

#include "common/AlertKind.h"

#include <QString>
#include <cstdint>

namespace tidyfox::cleaning {

inline const QString kAppTitle = QStringLiteral("Tidyfox");

class CleaningHost
{
public:
    virtual ~CleaningHost() = default;
    virtual void showAlert(const QString &text, AlertKind kind, const QString &title) = 0;
    // A line shown under the next alert's text, saying why a job stopped;
    // the alert after that has none again.
    virtual void setAlertDetail(const QString &detail) = 0;
    virtual void hideBusy() = 0;
    // How far the job is: done of total steps. Called at every step; the
    // host decides how often to show it.
    virtual void reportProgress(const QString &job, int done, int total) = 0;
    virtual void refreshLibraryList() = 0;
    // Gives the face its buttons back after a duplicate removal.
    virtual void enableButtons() = 0;
    // Lets commands through again after a duplicate removal.
    virtual void reopenCommandGate() = 0;
    // Handles the window events waiting now, once.
    virtual void yieldOnce() = 0;
    // The job the run wrote into the library's history, which can put it
    // back; told before the run's last alert. Hosts that offer no undo let
    // it pass.
    virtual void jobRecorded(std::int32_t /*jobId*/) {}
    // The job's change has not reached the player's own library yet (the
    // player runs, or its file cannot be written): line says so. Shown
    // under the job's last alert unless the host tells it another way.
    virtual void playerChangeWaits(const QString &line) { setAlertDetail(line); }
};

} // namespace tidyfox::cleaning
