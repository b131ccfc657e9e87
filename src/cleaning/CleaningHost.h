// What the cleaning jobs need of the main window: its feedback operations, the
// library reload, its movie variables, the duplicate-removal gate and a yield
// to pending window messages. frmMain implements it; tests record the calls.
#pragma once

#include <QString>

namespace tidyfox::cleaning {

// Alert kinds, the values of the message-box icon styles.
inline constexpr int kAlertError = 16;
inline constexpr int kAlertWarning = 48;
inline constexpr int kAlertInformation = 64;

inline const QString kAppTitle = QStringLiteral("Tidyfox");

class CleaningHost
{
public:
    virtual ~CleaningHost() = default;
    virtual void ShowAlert(const QString &text, int kind, const QString &title) = 0;
    virtual void HideBusy() = 0;
    virtual void RefreshLibrarylist() = 0;
    virtual void SetVariable(const QString &name, const QString &value) = 0;
    // Clears bRemovingDuplicates, reopening the command gate.
    virtual void ClearRemovingDuplicates() = 0;
    // Handles the window messages waiting now, once.
    virtual void YieldOnce() = 0;
};

} // namespace tidyfox::cleaning
