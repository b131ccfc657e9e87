-- The tables of the collection file as Debian 12's Clementine 1.4.0rc1 creates them (schema version 51),
-- taken from a file it made: songs, their full-text index, playlists and their items.
CREATE TABLE directories (
  path TEXT NOT NULL,
  subdirs INTEGER NOT NULL
);
CREATE TABLE songs (
  /* Metadata from taglib */
  title TEXT,
  album TEXT,
  artist TEXT,
  albumartist TEXT,
  composer TEXT,
  track INTEGER,
  disc INTEGER,
  bpm REAL,
  year INTEGER,
  genre TEXT,
  comment TEXT,
  compilation INTEGER,

  length INTEGER,
  bitrate INTEGER,
  samplerate INTEGER,

  /* Information about the file on disk */
  directory INTEGER NOT NULL,
  filename TEXT NOT NULL,
  mtime INTEGER NOT NULL,
  ctime INTEGER NOT NULL,
  filesize INTEGER NOT NULL
, sampler INTEGER NOT NULL DEFAULT 0, art_automatic TEXT, art_manual TEXT, filetype INTEGER NOT NULL DEFAULT 0, playcount INTEGER NOT NULL DEFAULT 0, lastplayed INTEGER, rating INTEGER, forced_compilation_on INTEGER NOT NULL DEFAULT 0, forced_compilation_off INTEGER NOT NULL DEFAULT 0, effective_compilation NOT NULL DEFAULT 0, skipcount INTEGER NOT NULL DEFAULT 0, score INTEGER NOT NULL DEFAULT 0, beginning INTEGER NOT NULL DEFAULT 0, cue_path TEXT, unavailable INTEGER DEFAULT 0, effective_albumartist TEXT, etag TEXT, performer TEXT, grouping TEXT, lyrics TEXT, originalyear INTEGER, effective_originalyear INTEGER);
CREATE TABLE schema_version (
  version INTEGER NOT NULL
);
CREATE INDEX idx_comp_artist ON songs (effective_compilation, artist);
CREATE TABLE subdirectories (
  directory INTEGER NOT NULL,
  path TEXT NOT NULL,
  mtime INTEGER NOT NULL
);
CREATE TABLE playlists (
  name TEXT NOT NULL
, last_played INTEGER NOT NULL DEFAULT -1, ui_order INTEGER NOT NULL DEFAULT 0, dynamic_playlist_type TEXT, dynamic_playlist_data BLOB, dynamic_playlist_backend TEXT DEFAULT "songs", special_type TEXT, ui_path TEXT, is_favorite INTEGER NOT NULL DEFAULT 0);
CREATE TABLE playlist_items (
  playlist INTEGER NOT NULL,
  type TEXT NOT NULL, /* Library, Stream, File, or Radio */

  /* Library */
  library_id INTEGER,

  /* Stream, File or Radio */
  url TEXT,

  /* Stream or Radio */
  title TEXT,
  artist TEXT,
  album TEXT,
  length INTEGER,

  /* Radio */
  radio_service TEXT
, beginning INTEGER, cue_path TEXT, albumartist TEXT, composer TEXT, track INTEGER, disc INTEGER, bpm REAL, year INTEGER, genre TEXT, comment TEXT, compilation INTEGER, bitrate INTEGER, samplerate INTEGER, directory INTEGER, filename TEXT, mtime INTEGER, ctime INTEGER, filesize INTEGER, sampler INTEGER NOT NULL DEFAULT 0, art_automatic TEXT, art_manual TEXT, filetype INTEGER NOT NULL DEFAULT 0, playcount INTEGER NOT NULL DEFAULT 0, lastplayed INTEGER, rating INTEGER, forced_compilation_on INTEGER NOT NULL DEFAULT 0, forced_compilation_off INTEGER NOT NULL DEFAULT 0, effective_compilation NOT NULL DEFAULT 0, skipcount INTEGER NOT NULL DEFAULT 0, score INTEGER NOT NULL DEFAULT 0, unavailable INTEGER DEFAULT 0, effective_albumartist TEXT, etag TEXT, performer TEXT, grouping TEXT, lyrics TEXT, originalyear INTEGER, effective_originalyear INTEGER);
CREATE INDEX idx_album ON songs (album);
CREATE INDEX idx_title ON songs (title);
CREATE VIEW duplicated_songs as
select artist dup_artist, album dup_album, title dup_title
  from songs as inner_songs
 where artist != ''
   and album != ''
   and title != ''
   and unavailable = 0
 group by artist, album , title
having count(*) > 1;
CREATE INDEX idx_filename ON songs (filename);
CREATE VIRTUAL TABLE songs_fts USING fts3( ftstitle, ftsalbum, ftsartist, ftsalbumartist,
  ftscomposer, ftsperformer, ftsgrouping, ftsgenre, ftscomment, ftsyear,
  tokenize=unicode
);
INSERT INTO schema_version(version) VALUES(51);
