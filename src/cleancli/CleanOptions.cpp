// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/CleanOptions.h"

#include "cleaning/DuplicateFilter.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tidyfox::cleancli {
namespace {

// The --by names by filter position.
constexpr std::array<const char *, cleaning::kFilterProperties> kPropertyNames = {
    "name", "size", "album", "artist", "bitrate", "samplerate", "filename"};

std::optional<int> propertyPosition(const QString &name)
{
    for (int i = 0; i < cleaning::kFilterProperties; ++i) {
        if (name.compare(QLatin1String(kPropertyNames[static_cast<size_t>(i)]), Qt::CaseInsensitive) == 0)
            return i;
    }
    return std::nullopt;
}

QString filterTextFor(const std::array<bool, cleaning::kFilterProperties> &checked, bool keepFiles, bool sound,
                      bool loose)
{
    QStringList items;
    for (bool on : checked)
        items << (on ? QStringLiteral("true") : QStringLiteral("false"));
    items << (keepFiles ? QStringLiteral("true") : QStringLiteral("false"));
    QStringList matching;
    if (sound)
        matching << QStringLiteral("sound");
    if (loose)
        matching << QStringLiteral("loose");
    if (!matching.isEmpty())
        items << matching.join(QLatin1Char(' '));
    return items.join(QLatin1Char(','));
}

// Which commands take an option; an option of another command is refused
// by name.
struct OptionUse
{
    const char *name;
    bool duplicates;
    bool dead;
    bool history;
    bool restore;
    bool fingerprint = false;
};

constexpr OptionUse kOptions[] = {
    {"--by", true, false, false, false},
    {"--loose", true, false, false, false},
    {"--keep", true, false, false, false},
    {"--merge-history", true, false, false, false},
    {"--keep-files", true, false, false, false},
    {"--bytes", true, false, false, false},
    {"--include-disconnected", false, true, false, false},
    {"--remove", true, true, false, false},
    {"--json", true, true, false, false},
    {"--wide", true, true, true, false},
    {"--clear", false, false, true, false},
    {"--library", true, true, true, true, true},
};

class Reader
{
public:
    explicit Reader(const QStringList &arguments) : m_arguments(arguments) {}

    ParsedCommandLine read()
    {
        for (const QString &argument : m_arguments) {
            if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
                return {ParsedCommandLine::Outcome::Help, {}, {}};
            if (argument == QLatin1String("--version"))
                return {ParsedCommandLine::Outcome::Version, {}, {}};
        }
        if (m_arguments.isEmpty())
            return usage(QStringLiteral("no command given (%1)").arg(kCommands));
        const QString command = m_arguments.first();
        CleanOptions &o = m_parsed.options;
        if (command == QLatin1String("duplicates"))
            o.command = CleanCommand::Duplicates;
        else if (command == QLatin1String("dead"))
            o.command = CleanCommand::DeadTracks;
        else if (command == QLatin1String("history"))
            o.command = CleanCommand::History;
        else if (command == QLatin1String("restore"))
            o.command = CleanCommand::Restore;
        else if (command == QLatin1String("fingerprint"))
            o.command = CleanCommand::Fingerprint;
        else
            return usage(QStringLiteral("unknown command \"%1\" (%2)").arg(command, kCommands));
        for (m_at = 1; m_at < m_arguments.size(); ++m_at) {
            if (!readOption())
                return m_parsed;
        }
        if (!checkCombination())
            return m_parsed;
        m_parsed.outcome = ParsedCommandLine::Outcome::Run;
        return m_parsed;
    }

private:
    static constexpr QLatin1StringView kCommands{"duplicates, dead, history, restore or fingerprint"};

    ParsedCommandLine &usage(const QString &message)
    {
        m_parsed.outcome = ParsedCommandLine::Outcome::Usage;
        m_parsed.usageError = message;
        return m_parsed;
    }

    bool refuse(const QString &message)
    {
        usage(message);
        return false;
    }

    QString commandName() const { return m_arguments.first(); }

    // Whether the command takes the option; nothing for an option nobody
    // takes.
    std::optional<bool> takes(const QString &name) const
    {
        for (const OptionUse &use : kOptions) {
            if (name != QLatin1String(use.name))
                continue;
            switch (m_parsed.options.command) {
            case CleanCommand::Duplicates:
                return use.duplicates;
            case CleanCommand::DeadTracks:
                return use.dead;
            case CleanCommand::History:
                return use.history;
            case CleanCommand::Restore:
                return use.restore;
            case CleanCommand::Fingerprint:
                return use.fingerprint;
            }
        }
        return std::nullopt;
    }

    // The value of an option, given as "--name VALUE" or "--name=VALUE".
    std::optional<QString> valueOf(const QString &name, const QString &argument)
    {
        if (argument.startsWith(name + QLatin1Char('=')))
            return argument.mid(name.size() + 1);
        if (m_at + 1 >= m_arguments.size()) {
            usage(QStringLiteral("%1 needs a value").arg(name));
            return std::nullopt;
        }
        return m_arguments.at(++m_at);
    }

    bool readOption()
    {
        CleanOptions &o = m_parsed.options;
        const QString argument = m_arguments.at(m_at);
        if (!argument.startsWith(QLatin1Char('-')))
            return readArgument(argument);
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        const std::optional<bool> taken = takes(name);
        if (!taken)
            return refuse(QStringLiteral("unknown option %1").arg(name));
        if (!*taken)
            return refuse(QStringLiteral("%1 is not an option of %2").arg(name, commandName()));
        const bool takesValue =
            name == QLatin1String("--by") || name == QLatin1String("--keep") || name == QLatin1String("--library");
        if (!takesValue && argument.contains(QLatin1Char('=')))
            return refuse(QStringLiteral("%1 takes no value").arg(name));
        if (name == QLatin1String("--by")) {
            const auto value = valueOf(name, argument);
            return value && readProperties(*value);
        }
        if (name == QLatin1String("--keep")) {
            const auto value = valueOf(name, argument);
            if (!value)
                return false;
            const auto rule = cleaning::keepRuleNamed(*value);
            if (!rule) {
                return refuse(QStringLiteral("unknown keep rule \"%1\" (one of %2)")
                                  .arg(*value, cleaning::keepRuleNames().join(QStringLiteral(", "))));
            }
            o.keep = *rule;
            return true;
        }
        if (name == QLatin1String("--library")) {
            const auto value = valueOf(name, argument);
            if (!value)
                return false;
            if (value->isEmpty())
                return refuse(QStringLiteral("--library needs a FILE"));
            o.libraryFile = *value;
            return true;
        }
        if (name == QLatin1String("--merge-history"))
            o.mergeHistory = true;
        else if (name == QLatin1String("--loose"))
            o.loose = true;
        else if (name == QLatin1String("--keep-files"))
            o.keepFiles = true;
        else if (name == QLatin1String("--include-disconnected"))
            o.includeDisconnected = true;
        else if (name == QLatin1String("--remove"))
            o.remove = true;
        else if (name == QLatin1String("--json"))
            o.json = true;
        else if (name == QLatin1String("--bytes"))
            o.bytes = true;
        else if (name == QLatin1String("--wide"))
            o.wide = true;
        else if (name == QLatin1String("--clear"))
            o.clearHistory = true;
        return true;
    }

    // restore's JOB; no other command takes an argument.
    bool readArgument(const QString &argument)
    {
        CleanOptions &o = m_parsed.options;
        if (o.command != CleanCommand::Restore)
            return refuse(QStringLiteral("unexpected argument \"%1\"").arg(argument));
        if (o.jobId != 0)
            return refuse(QStringLiteral("restore takes at most one JOB"));
        const bool digits =
            !argument.isEmpty() && std::all_of(argument.begin(), argument.end(), [](QChar c) { return c.isDigit(); });
        bool ok = false;
        const int job = digits ? argument.toInt(&ok) : 0;
        if (!ok || job <= 0)
            return refuse(QStringLiteral("restore needs a JOB number, not \"%1\"").arg(argument));
        o.jobId = job;
        return true;
    }

    bool readProperties(const QString &value)
    {
        m_checked.fill(false);
        m_parsed.options.by.clear();
        m_parsed.options.sound = false;
        for (const QString &item : value.split(QLatin1Char(','))) {
            const QString trimmed = item.trimmed();
            if (trimmed.compare(QLatin1String("sound"), Qt::CaseInsensitive) == 0) {
                m_parsed.options.sound = true;
                m_parsed.options.by << trimmed.toLower();
                continue;
            }
            const auto position = propertyPosition(trimmed);
            if (!position) {
                return refuse(QStringLiteral("unknown --by item \"%1\" (name, size, album, artist, bitrate, "
                                             "samplerate, filename, sound)")
                                  .arg(trimmed));
            }
            m_checked[static_cast<size_t>(*position)] = true;
            m_parsed.options.by << trimmed.toLower();
        }
        m_haveBy = true;
        return true;
    }

    bool checkCombination()
    {
        CleanOptions &o = m_parsed.options;
        if (o.command != CleanCommand::Duplicates)
            return true;
        if (!m_haveBy)
            return refuse(QStringLiteral("duplicates needs --by, e.g. --by name,artist"));
        o.filterText = filterTextFor(m_checked, o.keepFiles, o.sound, o.loose);
        return true;
    }

    const QStringList &m_arguments;
    qsizetype m_at = 0;
    ParsedCommandLine m_parsed;
    std::array<bool, cleaning::kFilterProperties> m_checked{};
    bool m_haveBy = false;
};

} // namespace

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    return Reader(arguments).read();
}

QString helpText()
{
    return QStringLiteral(
               "Usage: tidyfox-clean duplicates --by ITEMS [--keep RULE] [--merge-history] [--remove [--keep-files]]\n"
               "                                [--bytes] [--wide] [--json] [--library FILE]\n"
               "       tidyfox-clean dead [--remove] [--include-disconnected] [--wide] [--json] [--library FILE]\n"
               "       tidyfox-clean history [--clear] [--wide] [--library FILE]\n"
               "       tidyfox-clean restore [JOB] [--library FILE]\n"
               "       tidyfox-clean fingerprint [--library FILE]\n"
               "\n"
               "Cleans the Tidyfox music library from a terminal, as the program does. Without --remove it only\n"
               "shows what would go and changes nothing.\n"
               "\n"
               "Commands:\n"
               "  duplicates   tracks equal on every --by item, with the copy that stays and those that go\n"
               "  dead         tracks whose file is missing, by folder; those on a drive that is not connected\n"
               "               are shown but spared\n"
               "  history      the jobs of removals the library keeps, the oldest first; --clear forgets them\n"
               "               (the trash keeps their files)\n"
               "  restore      puts a job back, files and tracks: JOB, or the newest job not restored yet\n"
               "  fingerprint  listens to the files that have no fingerprint yet (new or changed ones)\n"
               "\n"
               "Options:\n"
               "  --by ITEMS              comma-separated: name, size, album, artist, bitrate, samplerate, filename,\n"
               "                          sound (the tracks sound the same; missing fingerprints are made first)\n"
               "  --loose                 names, artists and albums compared loosely (see the README), times\n"
               "                          within 2 s\n"
               "  --keep RULE             which copy stays (the default first: library order), one of\n"
               "                          %1\n"
               "  --merge-history         each removed copy's plays, skips and rating go to the copy that stays\n"
               "  --remove                remove what is shown (duplicates: their files go to the trash)\n"
               "  --keep-files            leave the removed copies' files where they are\n"
               "  --include-disconnected  remove dead tracks on a drive that is not connected too\n"
               "  --bytes                 sizes in bytes rather than as \"4.2 MB\" (kB = 1000 bytes)\n"
               "  --wide                  every column whole; a table is cut to the terminal's width only when\n"
               "                          standard output is a terminal\n"
               "  --json                  one JSON document instead of the table\n"
               "  --library FILE          work on this library file instead of the running library service\n"
               "  --help, --version\n"
               "\n"
               "Exit status: 0 done, 1 some things failed (listed on standard error), 2 bad usage.\n")
        .arg(cleaning::keepRuleNames().join(QStringLiteral(", ")));
}

} // namespace tidyfox::cleancli
