// What the face shows of a job besides the texts of its face variables: the
// reason under a failure alert. It reaches the scene as an object of its own
// (the context property "jobStatus"), so the variables a job sets stay
// exactly as they are.
#pragma once

#include <QObject>
#include <QString>

namespace tidyfox::window {

class JobStatus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString alertDetail READ alertDetail NOTIFY alertDetailChanged)
public:
    using QObject::QObject;

    // The line under the alert shown now; empty for none.
    QString alertDetail() const { return m_alertDetail; }
    void setAlertDetail(const QString &detail);

Q_SIGNALS:
    void alertDetailChanged();

private:
    QString m_alertDetail;
};

} // namespace tidyfox::window
