// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleancli/CleanRun.h"

#include "cleancli/CleanCliLog.h"
#include "cleancli/HistoryRun.h"
#include "cleancli/Reports.h"
#include "cleancli/TerminalHost.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/DeadTrackDeletion.h"
#include "cleaning/PendingRemovals.h"
#include "cleaning/ReviewedRemoval.h"
#include "system/Volumes.h"

#include <QSet>
#include <algorithm>

namespace tidyfox::cleancli {

void write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

namespace {

// The database ids in the library playlist now.
QSet<std::int32_t> presentIds(libraryclient::LibraryClient &library)
{
    const libraryclient::PlaylistPtr playlist = library.libraryPlaylist();
    if (!playlist)
        throw libraryclient::ClientError::objectNotSet();
    const auto tracks = playlist->tracks();
    if (!tracks)
        throw libraryclient::ClientError::objectNotSet();
    QSet<std::int32_t> ids;
    tracks->forEach([&ids](const libraryclient::TrackPtr &track) {
        ids.insert(track->databaseId());
        return true;
    });
    return ids;
}

// Which of the tracks shown to go went: asked of the library afterwards, so
// that what is printed is what happened, whatever the job passed over.
RemovalOutcome outcomeOf(libraryclient::LibraryClient &library, const std::vector<std::int32_t> &shownToGo)
{
    const QSet<std::int32_t> present = presentIds(library);
    RemovalOutcome outcome;
    for (std::int32_t id : shownToGo)
        (present.contains(id) ? outcome.notRemoved : outcome.removed).push_back(id);
    return outcome;
}

// The end of a removal: the job's own failure, and every track shown to go
// that is still there, on standard error.
int removalStatus(const TerminalHost &host, const RemovalOutcome &outcome, const CleanStreams &streams)
{
    // Told even when the run stopped early: what did go can come back.
    if (host.recordedJob() != 0)
        write(streams.err, QStringLiteral("tidyfox-clean: done as job %1 of the history; `tidyfox-clean restore %1` "
                                          "puts it back\n")
                               .arg(host.recordedJob()));
    // Files that stayed where they were, and why: the run still removed
    // their entries.
    if (host.jobSucceeded() && !host.alertDetail().isEmpty())
        write(streams.err, QStringLiteral("tidyfox-clean: ") + host.alertDetail() + QLatin1Char('\n'));
    if (!host.playerWaiting().isEmpty())
        write(streams.err, QStringLiteral("tidyfox-clean: ") + host.playerWaiting() + QLatin1Char('\n'));
    if (host.jobSucceeded() && outcome.notRemoved.empty())
        return kExitOk;
    if (!host.jobSucceeded())
        write(streams.err, QStringLiteral("tidyfox-clean: ") + host.lastAlert() + QLatin1Char('\n'));
    // The first few by number; a run refused as a whole would otherwise
    // name every track of the library.
    constexpr std::size_t kNamed = 10;
    for (std::size_t i = 0; i < std::min(kNamed, outcome.notRemoved.size()); ++i)
        write(streams.err, QStringLiteral("tidyfox-clean: track %1 was not removed\n").arg(outcome.notRemoved[i]));
    if (outcome.notRemoved.size() > kNamed)
        write(streams.err, QStringLiteral("tidyfox-clean: and %1 more tracks were not removed\n")
                               .arg(outcome.notRemoved.size() - kNamed));
    return kExitSomeFailed;
}

// Makes the fingerprints the library lacks; a file left without one gets a
// line on standard error. Returns the exit status.
int makeFingerprints(libraryclient::LibraryClient &library, const CleanStreams &streams, bool summary)
{
    TerminalHost host(streams.progress);
    libraryclient::LibraryClient::FingerprintHandlers handlers;
    handlers.progress = [&host](int done, int total) {
        host.reportProgress(QStringLiteral("Listening to tracks"), done, total);
    };
    handlers.without = [&streams](const QString &path, const QString &why) {
        write(streams.err, QStringLiteral("tidyfox-clean: %1: no fingerprint: %2\n").arg(path, why));
    };
    const protocol::FingerprintSummary made = library.makeFingerprints(handlers);
    host.hideBusy();
    if (summary)
        write(streams.out,
              QStringLiteral("fingerprints made: %1\nfiles without one: %2\n").arg(made.made).arg(made.without));
    return kExitOk;
}

int runDuplicates(const CleanOptions &options, libraryclient::LibraryClient &library, system::FileSystem &fs,
                  const QString &pendingRemovalsPath, const CleanStreams &streams)
{
    const cleaning::DuplicateFilter filter(options.filterText);
    if (options.sound)
        makeFingerprints(library, streams, false);
    TerminalHost finding(streams.progress);
    const cleaning::DuplicateReview review = cleaning::reviewDuplicates(
        library, fs, filter, options.keep,
        [&finding](int done, int total) { finding.reportProgress(QStringLiteral("Finding duplicates"), done, total); },
        // What goes is exactly what is shown to go.
        cleaning::StampsFor::CopiesOnly);
    finding.hideBusy();
    // Said before anything goes, so that a review run shows it too.
    if (options.keepFiles && review.copies > 0 && !review.rescanNote.isEmpty())
        write(streams.err, QStringLiteral("tidyfox-clean: ") + review.rescanNote + QLatin1Char('\n'));
    std::optional<RemovalOutcome> outcome;
    int status = kExitOk;
    if (options.remove) {
        // Exactly the copies shown, each with the keeper shown beside it.
        cleaning::ReviewedRemoval removal;
        removal.keepFiles = options.keepFiles;
        removal.mergeHistory = options.mergeHistory;
        std::vector<std::int32_t> shownToGo;
        for (const cleaning::DuplicateGroup &group : review.groups) {
            const std::int32_t keeperId = group.tracks.at(size_t(group.keeper)).databaseId;
            for (const cleaning::ReviewedTrack &t : group.tracks) {
                if (!t.goes)
                    continue;
                removal.copies.push_back({t.databaseId, keeperId, t.stamp});
                shownToGo.push_back(t.databaseId);
            }
        }
        TerminalHost host(streams.progress);
        cleaning::PendingRemovals pending(pendingRemovalsPath);
        cleaning::removeReviewed(host, &library, fs, removal, &pending);
        outcome = outcomeOf(library, shownToGo);
        status = removalStatus(host, *outcome, streams);
    }
    OutputBuffer out(streams.out);
    if (options.json)
        duplicatesJson(out, options, review, outcome);
    else
        duplicatesText(out, options, review, outcome, streams.width);
    return status;
}

int runDeadTracks(const CleanOptions &options, libraryclient::LibraryClient &library, system::FileSystem &fs,
                  const QString &pendingRemovalsPath, const CleanStreams &streams)
{
    const libraryclient::SourcePtr source = library.librarySource();
    if (!source)
        throw libraryclient::ClientError::objectNotSet();
    TerminalHost host(streams.progress);
    cleaning::DeadTrackFindings findings =
        cleaning::findDeadTracks(*source, fs, system::Volumes::current(), [&host](int done, int total) {
            host.reportProgress(QStringLiteral("Finding dead tracks"), done, total);
        });
    cleaning::leaveOutMovesUnderWay(findings, cleaning::PendingRemovals(pendingRemovalsPath));
    host.hideBusy();
    std::optional<RemovalOutcome> outcome;
    int status = kExitOk;
    if (options.remove) {
        std::vector<std::int32_t> shownToGo;
        for (const cleaning::DeadTrackFolder &folder : findings.folders) {
            if (!deadTrackGoes(folder, options))
                continue;
            for (const cleaning::DeadTrack &t : folder.tracks)
                shownToGo.push_back(t.databaseId);
        }
        if (!shownToGo.empty()) {
            cleaning::deleteReviewedDeadTracks(host, &library, source.get(), fs, shownToGo);
            outcome = outcomeOf(library, shownToGo);
            status = removalStatus(host, *outcome, streams);
        } else {
            outcome.emplace();
        }
    }
    OutputBuffer out(streams.out);
    if (options.json)
        deadTracksJson(out, options, findings, outcome);
    else
        deadTracksText(out, options, findings, outcome, streams.width);
    return status;
}

} // namespace

int runClean(const CleanOptions &options, libraryclient::LibraryClient &library, system::FileSystem &fs,
             const QString &pendingRemovalsPath, const CleanStreams &streams)
{
    try {
        switch (options.command) {
        case CleanCommand::Duplicates:
            return runDuplicates(options, library, fs, pendingRemovalsPath, streams);
        case CleanCommand::DeadTracks:
            return runDeadTracks(options, library, fs, pendingRemovalsPath, streams);
        case CleanCommand::History:
            return runHistory(library, streams);
        case CleanCommand::Restore:
            return runRestore(options, library, streams);
        case CleanCommand::Fingerprint:
            return makeFingerprints(library, streams, true);
        }
        return kExitUsage;
    } catch (const std::exception &error) {
        qCDebug(lcCleanCli) << "run stopped:" << error.what();
        write(streams.err, QStringLiteral("tidyfox-clean: ") + cleaning::errorText(error) + QLatin1Char('\n'));
        return kExitSomeFailed;
    }
}

} // namespace tidyfox::cleancli
