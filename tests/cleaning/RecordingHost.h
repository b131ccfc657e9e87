// A main window that writes down what the cleaning jobs ask of it.
#pragma once

#include "cleaning/CleaningHost.h"

#include <QStringList>
#include <functional>
#include <ostream>

// Readable texts in test failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tidyfox::cleaning::test {

class RecordingHost : public CleaningHost
{
public:
    void ShowAlert(const QString &text, int kind, const QString &title) override
    {
        calls << QStringLiteral("ShowAlert(%1|%2|%3)").arg(text).arg(kind).arg(title);
        alerts << text;
    }
    void HideBusy() override { calls << QStringLiteral("HideBusy"); }
    void RefreshLibrarylist() override { calls << QStringLiteral("RefreshLibrarylist"); }
    void SetVariable(const QString &name, const QString &value) override
    {
        calls << QStringLiteral("SetVariable(%1=%2)").arg(name, value);
    }
    void ClearRemovingDuplicates() override { calls << QStringLiteral("ClearRemovingDuplicates"); }
    void YieldOnce() override
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
    int yields = 0;
    std::function<void()> onYield;
};

} // namespace tidyfox::cleaning::test
