#include "itunes/Lookups.h"

namespace tidyfox::itunes {

namespace {

template<typename P> const P &required(const P &object)
{
    if (!object)
        throw ComError::objectNotSet();
    return object;
}

} // namespace

bool GetLibrarySource(IiTunes *iTunes, SourcePtr &iSource)
{
    try {
        const bool usable = required(required(iTunes)->LibrarySource())->SourceID() != 0;
        // Stored whatever the answer: a source with ID 0 is still the one to
        // load from.
        iSource = iTunes->LibrarySource();
        return usable;
    } catch (const std::exception &) {
        return false;
    }
}

std::shared_ptr<IITPlaylistCollection> GetLists(const SourcePtr &iSource)
{
    return required(iSource)->Playlists();
}

PlaylistPtr GetPlayListByID(const SourcePtr &iSource, std::int32_t iListID)
{
    PlaylistPtr found;
    GetLists(iSource)->ForEach([&](const PlaylistPtr &playlist) {
        if (playlist->PlaylistID() != iListID)
            return true;
        found = playlist;
        return false;
    });
    return found;
}

TrackPtr GetTrackByID(const PlaylistPtr &iPlayList, std::int32_t iTrackID)
{
    return required(iPlayList)->Tracks()->FirstByTrackID(iTrackID);
}

PlaylistPtr GetLibraryListByName(const SourcePtr &iSource, const QString &sListName)
{
    if (required(iSource)->Kind() != 1)
        return nullptr;
    const QString wanted = sListName.toLower();
    PlaylistPtr found;
    iSource->Playlists()->ForEach([&](const PlaylistPtr &playlist) {
        if (playlist->Name().toLower() != wanted)
            return true;
        found = playlist;
        return false;
    });
    return found;
}

int LoadSources(IiTunes *iTunes, SourcePtr &iSource)
{
    return GetLibrarySource(iTunes, iSource) ? 0 : 2;
}

} // namespace tidyfox::itunes
