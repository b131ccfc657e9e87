// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/LooseTags.h"

#include <QStringList>

namespace tidyfox::cleaning {
namespace {

// Words in a bracketed part that mark a reissue of the same recording.
bool isReissueNote(const QStringList &words)
{
    static const QStringList kNotes = {
        QStringLiteral("remaster"),    QStringLiteral("remastered"), QStringLiteral("remastering"),
        QStringLiteral("deluxe"),      QStringLiteral("bonus"),      QStringLiteral("expanded"),
        QStringLiteral("anniversary"), QStringLiteral("edition"),    QStringLiteral("reissue"),
    };
    static const QStringList kKeepApart = {
        QStringLiteral("live"),         QStringLiteral("remix"), QStringLiteral("acoustic"),
        QStringLiteral("instrumental"), QStringLiteral("demo"),  QStringLiteral("edit"),
    };
    bool reissue = false;
    for (const QString &word : words) {
        if (kKeepApart.contains(word))
            return false;
        reissue = reissue || kNotes.contains(word);
    }
    return reissue;
}

// Lower case, accents off, everything but letters and digits a space.
QString folded(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing || c.category() == QChar::Mark_SpacingCombining ||
            c.category() == QChar::Mark_Enclosing)
            continue;
        if (c == QLatin1Char('&'))
            out += QStringLiteral(" and ");
        else if (c.isLetterOrNumber())
            out += c.toCaseFolded();
        else
            out += QLatin1Char(' ');
    }
    return out;
}

QStringList wordsOf(const QString &text)
{
    QStringList words = folded(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString &word : words) {
        if (word == QLatin1String("ft") || word == QLatin1String("feat") || word == QLatin1String("featuring"))
            word = QStringLiteral("feat");
    }
    return words;
}

bool isOpening(QChar c)
{
    return c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char('{');
}

bool isClosing(QChar c)
{
    return c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}');
}

} // namespace

QString looseTag(const QString &text)
{
    // Bracketed parts that are only a reissue note go; any other stays, its
    // words joining the rest.
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isOpening(text.at(i))) {
            kept += text.at(i);
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && !isClosing(text.at(end)))
            ++end;
        const QString inside = text.mid(i + 1, end - i - 1);
        if (!isReissueNote(wordsOf(inside)))
            kept += QLatin1Char(' ') + inside + QLatin1Char(' ');
        i = end;
    }
    // A reissue note after a dash: "Harbour Lights - 2011 Remaster".
    const qsizetype dash = kept.lastIndexOf(QStringLiteral(" - "));
    if (dash > 0 && isReissueNote(wordsOf(kept.mid(dash + 3))))
        kept.truncate(dash);
    return wordsOf(kept).join(QLatin1Char(' '));
}

int secondsOfTime(const QString &time)
{
    int seconds = 0;
    const QStringList parts = time.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return 0;
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0)
            return 0;
        seconds = seconds * 60 + value;
    }
    return seconds;
}

} // namespace tidyfox::cleaning
