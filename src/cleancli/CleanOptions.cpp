#include "cleancli/CleanOptions.h"

#include "cleaning/DuplicateFilter.h"

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

QString filterTextFor(const std::array<bool, cleaning::kFilterProperties> &checked, bool keepFiles)
{
    QStringList items;
    for (bool on : checked)
        items << (on ? QStringLiteral("true") : QStringLiteral("false"));
    items << (keepFiles ? QStringLiteral("true") : QStringLiteral("false"));
    return items.join(QLatin1Char(','));
}

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
        if (command == QLatin1String("duplicates"))
            m_parsed.options.command = CleanCommand::Duplicates;
        else if (command == QLatin1String("dead"))
            m_parsed.options.command = CleanCommand::DeadTracks;
        else if (command == QLatin1String("history") || command == QLatin1String("restore"))
            return readLibraryHistory();
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
    static constexpr QLatin1StringView kCommands{"duplicates, dead, history or restore"};

    // The history of removals is the library's own: its command line reads
    // the rest, with --library (which it takes before the command) moved
    // there.
    ParsedCommandLine &readLibraryHistory()
    {
        CleanOptions &o = m_parsed.options;
        o.command = CleanCommand::LibraryHistory;
        QStringList rest;
        for (m_at = 1; m_at < m_arguments.size(); ++m_at) {
            const QString argument = m_arguments.at(m_at);
            if (argument != QLatin1String("--library") && !argument.startsWith(QLatin1String("--library="))) {
                rest << argument;
                continue;
            }
            const auto value = valueOf(QStringLiteral("--library"), argument);
            if (!value)
                return m_parsed;
            o.libraryFile = *value;
        }
        if (!o.libraryFile.isEmpty())
            o.libraryArguments << QStringLiteral("--library") << o.libraryFile;
        o.libraryArguments << m_arguments.first() << rest;
        m_parsed.outcome = ParsedCommandLine::Outcome::Run;
        return m_parsed;
    }

    ParsedCommandLine &usage(const QString &message)
    {
        m_parsed.outcome = ParsedCommandLine::Outcome::Usage;
        m_parsed.usageError = message;
        return m_parsed;
    }

    bool isDuplicates() const { return m_parsed.options.command == CleanCommand::Duplicates; }

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
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        const bool forDuplicates = name == QLatin1String("--by") || name == QLatin1String("--keep") ||
                                   name == QLatin1String("--merge-history") || name == QLatin1String("--keep-files");
        if (forDuplicates && !isDuplicates()) {
            usage(QStringLiteral("%1 is an option of duplicates, not of dead").arg(name));
            return false;
        }
        if (name == QLatin1String("--include-disconnected") && isDuplicates()) {
            usage(QStringLiteral("%1 is an option of dead, not of duplicates").arg(name));
            return false;
        }
        const bool takesValue =
            name == QLatin1String("--by") || name == QLatin1String("--keep") || name == QLatin1String("--library");
        if (!takesValue && argument.contains(QLatin1Char('='))) {
            usage(QStringLiteral("%1 takes no value").arg(name));
            return false;
        }
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
                usage(QStringLiteral("unknown keep rule \"%1\" (one of %2)")
                          .arg(*value, cleaning::keepRuleNames().join(QStringLiteral(", "))));
                return false;
            }
            o.keep = *rule;
            return true;
        }
        if (name == QLatin1String("--library")) {
            const auto value = valueOf(name, argument);
            if (!value)
                return false;
            if (value->isEmpty()) {
                usage(QStringLiteral("--library needs a FILE"));
                return false;
            }
            o.libraryFile = *value;
            return true;
        }
        if (name == QLatin1String("--merge-history"))
            o.mergeHistory = true;
        else if (name == QLatin1String("--keep-files"))
            o.keepFiles = true;
        else if (name == QLatin1String("--include-disconnected"))
            o.includeDisconnected = true;
        else if (name == QLatin1String("--remove"))
            o.remove = true;
        else if (name == QLatin1String("--json"))
            o.json = true;
        else if (argument.startsWith(QLatin1Char('-')))
            return usage(QStringLiteral("unknown option %1").arg(name)), false;
        else
            return usage(QStringLiteral("unexpected argument \"%1\"").arg(argument)), false;
        return true;
    }

    bool readProperties(const QString &value)
    {
        m_checked.fill(false);
        m_parsed.options.by.clear();
        for (const QString &item : value.split(QLatin1Char(','))) {
            const QString trimmed = item.trimmed();
            const auto position = propertyPosition(trimmed);
            if (!position) {
                usage(QStringLiteral("unknown --by item \"%1\" (name, size, album, artist, bitrate, samplerate, "
                                     "filename)")
                          .arg(trimmed));
                return false;
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
        if (!isDuplicates())
            return true;
        if (!m_haveBy) {
            usage(QStringLiteral("duplicates needs --by, e.g. --by name,artist"));
            return false;
        }
        o.filterText = filterTextFor(m_checked, o.keepFiles);
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
               "Usage: tidyfox-clean duplicates --by ITEMS [--keep RULE] [--merge-history] [--remove [--keep-files]] "
               "[--json] [--library FILE]\n"
               "       tidyfox-clean dead [--remove] [--include-disconnected] [--json] [--library FILE]\n"
               "       tidyfox-clean history [--clear] [--library FILE]\n"
               "       tidyfox-clean restore [JOB] [--library FILE]\n"
               "\n"
               "Cleans the Tidyfox music library from a terminal, as the program does. Without --remove it only shows\n"
               "what would go and changes nothing.\n"
               "\n"
               "Commands:\n"
               "  duplicates   tracks equal on every --by item, with the copy that stays and those that go\n"
               "  dead         tracks whose file is missing, by folder; those on a drive that is not connected\n"
               "               are shown but spared\n"
               "  history      the jobs of removals the library keeps; restore puts one back (the last one\n"
               "  restore      unless JOB is given): both run tidyfox-library history or restore, which keeps them\n"
               "\n"
               "Options:\n"
               "  --by ITEMS              comma-separated: name, size, album, artist, bitrate, samplerate, filename\n"
               "  --keep RULE             which copy stays: %1 (default first: library order)\n"
               "  --merge-history         each removed copy's plays, skips and rating go to the copy that stays\n"
               "  --remove                remove what is shown (duplicates: their files go to the trash)\n"
               "  --keep-files            leave the removed copies' files where they are\n"
               "  --include-disconnected  remove dead tracks on a drive that is not connected too\n"
               "  --json                  one JSON document instead of the table\n"
               "  --library FILE          work on this library file instead of the running library service\n"
               "  --help, --version\n"
               "\n"
               "Exit status: 0 done, 1 some things failed (listed on standard error), 2 bad usage.\n")
        .arg(cleaning::keepRuleNames().join(QStringLiteral(", ")));
}

} // namespace tidyfox::cleancli
