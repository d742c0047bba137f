// The host's songs table and its indexes, as a real library of the current
// player stores them. Kept verbatim: the column positions, declared types and
// collations are what the filters are tested against.
#include "demolib/host_schema.h"

namespace vantor::demo {

const char* const kHostSongsTable = R"sql(
CREATE TABLE Songs (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  Artist TEXT COLLATE IUNICODE,
  IDAlbum INTEGER,
  Album TEXT COLLATE IUNICODE,
  AlbumArtist TEXT COLLATE IUNICODE,
  DiscNumber TEXT COLLATE IUNICODE,
  TrackNumber TEXT COLLATE IUNICODE,
  EpisodeNumber TEXT COLLATE IUNICODE,
  SeasonNumber TEXT COLLATE IUNICODE,
  Actors TEXT COLLATE IUNICODE,
  Producer TEXT COLLATE IUNICODE,
  SongTitle TEXT COLLATE IUNICODE,
  SongPath TEXT COLLATE IUNICODE,
  Extension TEXT(5),
  Year INTEGER,
  Genre TEXT COLLATE IUNICODE,
  FileLength INTEGER,
  SongLength INTEGER,
  IDMedia INTEGER,
  CacheStatus INTEGER,
  CacheName TEXT COLLATE IUNICODE,
  Rating INTEGER,
  Bitrate INTEGER,
  Seekable INTEGER,
  Broadcast INTEGER,
  PreviewState INTEGER,
  PreviewName TEXT COLLATE IUNICODE,
  PreviewStartTime INTEGER,
  PreviewLength INTEGER,
  Author TEXT COLLATE IUNICODE,
  SamplingFrequency INTEGER,
  Stereo INTEGER,
  VBR INTEGER,
  BPM INTEGER,
  SignType INTEGER,
  SignPart1 INTEGER,
  SignPart2 INTEGER,
  SignPart3 INTEGER,
  SignPart4 INTEGER,
  PlayCounter INTEGER,
  LastTimePlayed REAL,
  AudioCDTrack INTEGER,
  FileModified REAL,
  TrackModified REAL,
  MaxSample REAL,
  NormalizeTrack REAL,
  NormalizeAlbum REAL,
  Custom1 TEXT COLLATE IUNICODE,
  Custom2 TEXT COLLATE IUNICODE,
  Custom3 TEXT COLLATE IUNICODE,
  Custom4 TEXT COLLATE IUNICODE,
  Custom5 TEXT COLLATE IUNICODE,
  DateAdded REAL,
  OrigFileLength INTEGER,
  PreGap INTEGER,
  PostGap INTEGER,
  TotalSamples INTEGER,
  PlaybackPos INTEGER,
  StartTime INTEGER,
  StopTime INTEGER,
  SkipCount INTEGER,
  GaplessBytes INTEGER,
  IDFolder INTEGER,
  IDEpisode INTEGER,
  TrackType INTEGER,
  VideoWidth INTEGER,
  VideoHeight INTEGER,
  FrameRate INTEGER,
  Copyright TEXT COLLATE IUNICODE,
  Publisher TEXT COLLATE IUNICODE,
  Encoder TEXT COLLATE IUNICODE,
  Lyricist TEXT COLLATE IUNICODE,
  Conductor TEXT COLLATE IUNICODE,
  Remixer TEXT COLLATE IUNICODE,
  InvolvedPeople TEXT COLLATE IUNICODE,
  OrigTitle TEXT COLLATE IUNICODE,
  OrigArtist TEXT COLLATE IUNICODE,
  OrigLyricist TEXT COLLATE IUNICODE,
  ParentalRating TEXT COLLATE IUNICODE,
  GroupDesc TEXT COLLATE IUNICODE,
  SubTitle TEXT COLLATE IUNICODE,
  ISRC TEXT COLLATE IUNICODE,
  InitialKey TEXT COLLATE IUNICODE,
  Language TEXT COLLATE IUNICODE,
  WebCommercial TEXT COLLATE IUNICODE,
  WebCopyright TEXT COLLATE IUNICODE,
  WebFilepage TEXT COLLATE IUNICODE,
  WebArtist TEXT COLLATE IUNICODE,
  WebSource TEXT COLLATE IUNICODE,
  WebRadio TEXT COLLATE IUNICODE,
  WebPayment TEXT COLLATE IUNICODE,
  WebPublisher TEXT COLLATE IUNICODE,
  WebUser TEXT COLLATE IUNICODE,
  ContainerType INTEGER,
  StreamCount INTEGER,
  StreamInfo TEXT,
  OrigYear INTEGER,
  Tempo TEXT COLLATE IUNICODE,
  Mood TEXT COLLATE IUNICODE,
  Occasion TEXT COLLATE IUNICODE,
  Quality TEXT COLLATE IUNICODE,
  Lyrics TEXT COLLATE IUNICODE,
  Comment TEXT COLLATE IUNICODE
);)sql";

// Created after the rows are in, which is much faster than keeping them up to date.
const char* const kHostSongsIndexes = R"sql(
CREATE INDEX idxSongsIDAlbum ON Songs (IDAlbum);
CREATE INDEX idxSongsMediaPath ON Songs (IDMedia, SongPath);
CREATE INDEX idxSongsYear ON Songs (Year);
CREATE INDEX idxSongsBPM ON Songs (BPM);
CREATE INDEX idxSongsSignature ON Songs (SignPart1);
CREATE INDEX idxSongsFolder ON Songs (IDFolder);
CREATE INDEX idxSongsNormalizeTrack ON Songs (NormalizeTrack);
CREATE INDEX idxSongsNormalizeAlbum ON Songs (NormalizeAlbum);
CREATE INDEX idxSongsFileLength ON Songs (FileLength);
CREATE INDEX idxSongsExtension ON Songs (Extension);
CREATE INDEX idxSongsTypeMedia ON Songs (TrackType, IDMedia);
CREATE INDEX idxSongsTrackTypeAlbumID ON Songs (TrackType, IDAlbum);
CREATE INDEX idxSongsLastTimePlayed ON Songs (LastTimePlayed);
)sql";

// The host's media (a drive, a network share, a web source): a song on a
// drive stores its path without the drive, which DriveLetter gives (0 is A:).
// The host's column names in its order; the declared types are ours.
const char* const kHostMediasTable = R"sql(
CREATE TABLE Medias (
  IDMedia INTEGER PRIMARY KEY AUTOINCREMENT,
  SerialNumber INTEGER,
  DriveType INTEGER,
  Label TEXT COLLATE IUNICODE,
  ShowLabel INTEGER,
  Comment TEXT COLLATE IUNICODE,
  IsAudioCD INTEGER,
  Location TEXT COLLATE IUNICODE,
  CDDBId TEXT,
  TOCData TEXT,
  CDDBQueryState INTEGER,
  CDDBQueryResult TEXT,
  TurnedSN INTEGER,
  DriveLetter INTEGER
);)sql";

// The host's saved playlists: a playlist within another names it in
// ParentPlaylist (0 at the top); an automatic one keeps its search in
// QueryData and no songs. As the host declares them, but for its trigger,
// which names a table these libraries lack.
const char* const kHostPlaylistTables = R"sql(
CREATE TABLE Playlists (IDPlaylist INTEGER PRIMARY KEY AUTOINCREMENT,PlaylistName TEXT COLLATE IUNICODE,ParentPlaylist INTEGER,Comment TEXT COLLATE IUNICODE,IsAutoPlaylist INTEGER,QueryData TEXT COLLATE IUNICODE,srcMedia INTEGER,srcPath TEXT COLLATE IUNICODE,Persistent INTEGER,IDFilter INTEGER DEFAULT -1,Synchronize INTEGER);
CREATE TABLE PlaylistSongs (IDPlaylistSong INTEGER PRIMARY KEY AUTOINCREMENT,IDPlaylist INTEGER,IDSong INTEGER,SongOrder INTEGER);
)sql";

const char* const kHostPlaylistIndexes = R"sql(
CREATE INDEX idxPlaylistsParents ON Playlists (ParentPlaylist);
CREATE INDEX idxPlaylistSongsPlaylist ON PlaylistSongs (IDPlaylist, SongOrder);
CREATE INDEX idxPlaylistSongsSong ON PlaylistSongs (IDSong);
)sql";

}  // namespace vantor::demo
