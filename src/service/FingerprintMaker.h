// SPDX-License-Identifier: GPL-3.0-or-later
// Makes the fingerprints a library lacks, the files heard on worker threads
// and each kept as it comes, so that a run cancelled (or killed) keeps those
// made. Lives on the library's thread; its signals come from there.
#pragma once

#include "fingerprint/FingerprintWorkers.h"
#include "service/LibraryCore.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace tidyfox::library {

class FingerprintMaker : public QObject
{
    Q_OBJECT

public:
    // The time one file may take to be heard.
    static constexpr std::chrono::seconds kFileLimit{30};

    explicit FingerprintMaker(LibraryCore &core, QObject *parent = nullptr);
    ~FingerprintMaker() override;

    // Starts a run; returns the files it will hear, or -1 while one runs.
    int start();
    bool running() const { return m_workers != nullptr; }
    // The files under way finish and are kept; no other starts.
    void cancel();

signals:
    void progress(int done, int total);
    void without(const QString &path, const QString &why);
    void finished(int made, int without, int left);

private:
    void collect();

    LibraryCore &m_core;
    std::vector<LibraryCore::FingerprintTask> m_tasks;
    std::unique_ptr<fingerprint::FingerprintWorkers> m_workers;
    QTimer m_poll;
    int m_done = 0;
    int m_made = 0;
    int m_without = 0;
    int m_reported = 0;
};

} // namespace tidyfox::library
