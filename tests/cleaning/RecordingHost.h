// SPDX-License-Identifier: GPL-3.0-or-later
// A main window that writes down what the cleaning jobs ask of it.
#pragma once

#include "cleaning/CleaningHost.h"

#include <QStringList>
#include <functional>
#include <ostream>
#include <utility>

// Readable texts in test failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tidyfox::cleaning::test {

class RecordingHost : public CleaningHost
{
public:
    void showAlert(const QString &text, AlertKind kind, const QString &title) override
    {
        calls << QStringLiteral("showAlert(%1|%2|%3)").arg(text).arg(static_cast<int>(kind)).arg(title);
        alerts << text;
    }
    void setAlertDetail(const QString &detail) override { details << detail; }
    void reportProgress(const QString &, int done, int total) override
    {
        ++progressReports;
        lastProgress = {done, total};
    }
    void hideBusy() override { calls << QStringLiteral("hideBusy"); }
    void refreshLibraryList() override { calls << QStringLiteral("refreshLibraryList"); }
    void enableButtons() override { calls << QStringLiteral("enableButtons"); }
    void reopenCommandGate() override { calls << QStringLiteral("reopenCommandGate"); }
    void yieldOnce() override
    {
        ++yields;
        calls << QStringLiteral("Yield");
        if (onYield)
            onYield();
    }

    // The calls without the yields.
    QStringList Ends() const
    {
        QStringList ends;
        for (const QString &call : calls) {
            if (call != QLatin1String("Yield"))
                ends << call;
        }
        return ends;
    }

    QStringList calls;
    QStringList alerts;
    QStringList details; // setAlertDetail, in order
    int yields = 0;
    int progressReports = 0;
    std::pair<int, int> lastProgress;
    std::function<void()> onYield;
};

} // namespace tidyfox::cleaning::test
