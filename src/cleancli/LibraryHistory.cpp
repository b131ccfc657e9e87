#include "cleancli/LibraryHistory.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace tidyfox::cleancli {

int runLibraryHistory(const CleanOptions &options, const QString &programFolder)
{
    const QByteArray program = QFile::encodeName(programFolder + QStringLiteral("/tidyfox-library"));
    std::vector<QByteArray> arguments{program};
    for (const QString &argument : options.libraryArguments)
        arguments.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    ::execv(program.constData(), argv.data());
    std::fprintf(stderr, "tidyfox-clean: cannot run %s: %s\n", program.constData(), std::strerror(errno));
    return kExitSomeFailed;
}

} // namespace tidyfox::cleancli
