// A real main window with recording stand-ins for what it takes from its
// surroundings, and a log of every movie variable it sets.
#pragma once

#include "itunes/InProcessITunes.h"
#include "platform/TrashFileSystem.h"
#include "service/LibraryCore.h"
#include "shell/frmMain.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>
#include <vector>

namespace tidyfox::test {

struct WindowFixture
{
    QTemporaryDir lockDir;
    std::shared_ptr<library::LibraryCore> core = library::LibraryCore::open(QStringLiteral(":memory:"));
    std::vector<std::pair<QString, QString>> warnings;
    std::vector<QUrl> opened;
    std::vector<int> exits;
    std::vector<std::pair<QString, QString>> variables;
    bool failConnect = false;
    std::unique_ptr<shell::frmMain> window;

    shell::WindowEnvironment environment()
    {
        shell::WindowEnvironment env;
        env.applicationFolder = QStringLiteral(TIDYFOX_APP_DIR);
        env.lockFolder = lockDir.path();
        env.showWarning = [this](const QString &title, const QString &text) { warnings.emplace_back(title, text); };
        env.openUrl = [this](const QUrl &url) {
            opened.push_back(url);
            return true;
        };
        env.endProcess = [this](int code) { exits.push_back(code); };
        env.fileSystem = std::make_shared<platform::TrashFileSystem>();
        auto factory = itunes::InProcessITunes::factory(core);
        env.createITunes = [this, factory]() -> itunes::ITunesPtr {
            if (failConnect)
                throw itunes::ComError(itunes::kErrCallFailed, QStringLiteral("refused"));
            return factory();
        };
        env.twipsPerPixelX = 15;
        env.twipsPerPixelY = 15;
        return env;
    }

    shell::frmMain &make(shell::WindowEnvironment env)
    {
        window = std::make_unique<shell::frmMain>(std::move(env));
        QObject::connect(window.get(), &shell::frmMain::MovieVariableSet,
                         [this](const QString &name, const QString &value) { variables.emplace_back(name, value); });
        return *window;
    }
    shell::frmMain &make() { return make(environment()); }

    QStringList names() const
    {
        QStringList out;
        for (const auto &v : variables)
            out << v.first;
        return out;
    }
    QString valueOf(const QString &name) const
    {
        for (auto it = variables.rbegin(); it != variables.rend(); ++it) {
            if (it->first == name)
                return it->second;
        }
        return {};
    }
};

} // namespace tidyfox::test
