// SPDX-License-Identifier: GPL-3.0-or-later
// The window as the cleaning jobs see it.
#pragma once

#include "cleaning/CleaningHost.h"

namespace tidyfox::window {

class MainWindow;

class WindowCleaningHost : public cleaning::CleaningHost
{
public:
    explicit WindowCleaningHost(MainWindow &window) : m_window(window) {}

    void showAlert(const QString &text, AlertKind kind, const QString &title) override;
    void setAlertDetail(const QString &detail) override;
    void hideBusy() override;
    void reportProgress(const QString &job, int done, int total) override;
    void refreshLibraryList() override;
    void enableButtons() override;
    void reopenCommandGate() override;
    void yieldOnce() override;
    void jobRecorded(std::int32_t jobId) override;

private:
    MainWindow &m_window;
    QString m_alertDetail;
    std::int32_t m_recordedJob = 0;
};

} // namespace tidyfox::window
