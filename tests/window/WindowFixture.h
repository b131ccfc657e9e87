// SPDX-License-Identifier: GPL-3.0-or-later
// A real main window with recording stand-ins for what it takes from its
// surroundings, and a log of every face variable it sets.
#pragma once

#include "MainWindowProbe.h"
#include "localclient/InProcessLibraryClient.h"
#include "service/LibraryCore.h"
#include "system/TrashFileSystem.h"
#include "window/MainWindow.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <utility>
#include <vector>

namespace tidyfox::test {

using window::MainWindowProbe;
using window::WindowState;

struct WindowFixture
{
    QTemporaryDir lockDir;
    std::shared_ptr<library::LibraryCore> core = library::LibraryCore::open(QStringLiteral(":memory:"));
    std::vector<std::pair<QString, QString>> warnings;
    std::vector<QUrl> opened;
    bool desktopOpens = true; // whether the desktop has a program for what is opened
    std::vector<int> exits;
    std::vector<std::pair<QString, QString>> variables;
    bool failConnect = false;
    QString unusableLibrary; // when set, connecting fails with this reason
    std::unique_ptr<window::MainWindow> window;

    window::WindowEnvironment environment()
    {
        window::WindowEnvironment env;
        env.applicationFolder = QStringLiteral(TIDYFOX_APP_DIR);
        env.lockFolder = lockDir.path();
        env.showWarning = [this](const QString &title, const QString &text) { warnings.emplace_back(title, text); };
        env.openUrl = [this](const QUrl &url) {
            opened.push_back(url);
            return desktopOpens;
        };
        env.endProcess = [this](int code) { exits.push_back(code); };
        env.fileSystem = std::make_shared<system::TrashFileSystem>();
        auto factory = libraryclient::InProcessLibraryClient::factory(core);
        env.createLibraryClient = [this, factory]() -> libraryclient::LibraryClientPtr {
            if (failConnect)
                throw libraryclient::ClientError(libraryclient::kErrCallFailed, QStringLiteral("refused"));
            if (!unusableLibrary.isEmpty())
                throw libraryclient::ClientError(libraryclient::kErrLibraryUnusable, unusableLibrary);
            return factory();
        };
        env.twipsPerPixelX = 15;
        env.twipsPerPixelY = 15;
        return env;
    }

    window::MainWindow &make(window::WindowEnvironment env)
    {
        window = std::make_unique<window::MainWindow>(std::move(env));
        QObject::connect(window.get(), &window::MainWindow::faceVariableSet,
                         [this](const QString &name, const QString &value) { variables.emplace_back(name, value); });
        return *window;
    }
    window::MainWindow &make() { return make(environment()); }

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
