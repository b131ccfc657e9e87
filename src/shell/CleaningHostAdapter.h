// The window as the cleaning jobs see it.
#pragma once

#include "cleaning/CleaningHost.h"

namespace tidyfox::shell {

class frmMain;

class CleaningHostAdapter : public cleaning::CleaningHost
{
public:
    explicit CleaningHostAdapter(frmMain &window) : m_window(window) {}

    void ShowAlert(const QString &text, int kind, const QString &title) override;
    void HideBusy() override;
    void RefreshLibrarylist() override;
    void SetVariable(const QString &name, const QString &value) override;
    void ClearRemovingDuplicates() override;
    void YieldOnce() override;

private:
    frmMain &m_window;
};

} // namespace tidyfox::shell
