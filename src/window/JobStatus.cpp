#include "window/JobStatus.h"

namespace tidyfox::window {

void JobStatus::setAlertDetail(const QString &detail)
{
    if (detail == m_alertDetail)
        return;
    m_alertDetail = detail;
    Q_EMIT alertDetailChanged();
}

} // namespace tidyfox::window
