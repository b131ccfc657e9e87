// SPDX-License-Identifier: GPL-3.0-or-later
// The shape of one bus interface as introspection XML describes it: every
// method and signal with its arguments' names, types and directions, and
// nothing else (comments and annotations differ between a hand-written
// description and what Qt reports for a live object).
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

namespace tidyfox::test {

inline QStringList busContract(const QString &xml, const QString &interfaceName)
{
    QStringList members;
    QXmlStreamReader reader(xml);
    bool inInterface = false;
    QString member;
    QString kind;
    auto finish = [&] {
        if (!member.isEmpty())
            members.append(member);
        member.clear();
    };
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const auto attrs = reader.attributes();
            if (reader.name() == QLatin1String("interface")) {
                inInterface = attrs.value(QLatin1String("name")) == interfaceName;
            } else if (inInterface &&
                       (reader.name() == QLatin1String("method") || reader.name() == QLatin1String("signal"))) {
                kind = reader.name().toString();
                member = kind + QLatin1Char(' ') + attrs.value(QLatin1String("name")).toString() + QLatin1Char(':');
            } else if (inInterface && reader.name() == QLatin1String("arg") && !member.isEmpty()) {
                QString direction = attrs.value(QLatin1String("direction")).toString();
                if (direction.isEmpty())
                    direction = kind == QLatin1String("signal") ? QStringLiteral("out") : QStringLiteral("in");
                member += QStringLiteral(" %1 %2 %3,")
                              .arg(direction, attrs.value(QLatin1String("type")), attrs.value(QLatin1String("name")));
            }
        } else if (reader.isEndElement()) {
            if (reader.name() == QLatin1String("method") || reader.name() == QLatin1String("signal"))
                finish();
            else if (reader.name() == QLatin1String("interface"))
                inInterface = false;
        }
    }
    if (reader.hasError())
        members.append(QStringLiteral("unreadable XML: ") + reader.errorString());
    members.sort();
    return members;
}

// What the object at path of service says of itself on the session bus.
inline QString introspect(const QString &service, const QString &path)
{
    auto message = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                                  QStringLiteral("Introspect"));
    const auto reply = QDBusConnection::sessionBus().call(message);
    return reply.arguments().value(0).toString();
}

// The description of an interface kept in the repository.
inline QString publishedDescription(const QString &interfaceName)
{
    QFile file(QStringLiteral(TIDYFOX_PROTOCOL_DIR "/") + interfaceName + QStringLiteral(".xml"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace tidyfox::test
