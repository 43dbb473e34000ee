#include "scan/library_scan.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "library/owned_record.h"
#include "library/printable_path.h"
#include "library/whole_number.h"

namespace tunyra {

const char* const kFileSizeName = "filesize";
const char* const kFileTimeName = "filetime";
// Which reading of files wrote a line. A line of an older one is read again even when
// its file is unchanged: that scan listed files that are not audio (a zero-filled
// download, random bytes under an audio name) as songs, which this one refuses.
const char* const kScannerName = "scanner";
const char* const kScannerVersion = "2";

namespace {

// A file read in this scan as its library line's record, its stamp among the extended
// entries.
void AppendReadSong(std::string& out, std::string path, SongTags& tags, const FileStamp& stamp) {
  tags.extended.emplace_back(kFileSizeName, std::to_string(stamp.size));
  tags.extended.emplace_back(kFileTimeName, std::to_string(stamp.mtimeNs));
  tags.extended.emplace_back(kScannerName, kScannerVersion);
  const OwnedRecord song({std::move(path), std::move(tags.title), std::move(tags.album), std::move(tags.artist),
                          std::move(tags.comment), std::move(tags.genre)},
                         tags.year, tags.track, tags.length, tags.extended);
  AppendLibraryLine(out, song.Record());
}

const char* ExtendedValue(const ItemRecord& record, const char* name) {
  if (record.extendedInfo == nullptr) return nullptr;
  for (char** entry = record.extendedInfo; *entry != nullptr; ++entry)
    if (std::strcmp(*entry, name) == 0) return *entry + std::strlen(*entry) + 1;
  return nullptr;
}

bool ParseInt64(const char* text, std::int64_t& value) { return text != nullptr && ParseWholeNumber(text, value); }

bool StampMatches(const ItemRecord& record, const FileStamp& stamp) {
  std::int64_t size = 0;
  std::int64_t time = 0;
  return ParseInt64(ExtendedValue(record, kFileSizeName), size) &&
         ParseInt64(ExtendedValue(record, kFileTimeName), time) && size == stamp.size &&
         time == stamp.mtimeNs && stamp.Exact() && ExtendedValue(record, kScannerName) != nullptr &&
         std::strcmp(ExtendedValue(record, kScannerName), kScannerVersion) == 0;
}

}  // namespace

bool HasFileStamp(const ItemRecord& record) {
  std::int64_t stamp = 0;
  return ParseInt64(ExtendedValue(record, kFileSizeName), stamp) && ParseInt64(ExtendedValue(record, kFileTimeName), stamp);
}

bool ScanFolders(const ScanSettings& settings, std::FILE* out, ScanReport& report,
                 std::string& error) {
  report = ScanReport();
  ScanProgress progress;
  WalkResult walk;
  auto onFound = [&](size_t found) {
    progress.total = found;
    if (settings.onProgress) settings.onProgress(progress);
  };
  if (!WalkFolders(settings.folders, walk, error, onFound)) return false;
  report.notAudio = walk.notAudio;
  report.repeatedFolders = walk.repeatedFolders;
  report.repeatedRoots = walk.repeatedRoots;
  report.nonUtf8Names = walk.nonUtf8Names;
  report.problems = std::move(walk.problems);
  progress.listing = false;
  progress.total = walk.audio.size();

  std::unordered_map<std::string_view, const ItemRecord*> previous;
  if (settings.previous != nullptr) {
    const ItemRecordList& list = settings.previous->Records();
    previous.reserve(size_t(list.size));
    for (int i = 0; i < list.size; ++i)
      if (list.items[i].filename != nullptr) previous.emplace(list.items[i].filename, &list.items[i]);
  }

  std::string buffer = kLibraryFileHeader;
  buffer += '\n';
  auto flush = [&]() {
    bool ok = std::fwrite(buffer.data(), 1, buffer.size(), out) == buffer.size();
    buffer.clear();
    return ok;
  };
  // In path order, as the walk sorted them: a rescan writes the same file.
  for (FoundFile& file : walk.audio) {
    auto old = previous.find(file.path);
    if (old != previous.end() && StampMatches(*old->second, file.stamp)) {
      AppendLibraryLine(buffer, *old->second);
      ++report.kept;
    } else {
      SongTags tags;
      FileStamp stamp;
      std::string reason;
      if (ReadAudioFile(file.path, tags, stamp, reason)) {
        AppendReadSong(buffer, std::move(file.path), tags, stamp);
        ++report.read;
        if (tags.mendedText) ++report.mendedTags;
      } else {
        report.problems.push_back({std::move(file.path), reason});
      }
    }
    std::string().swap(file.path);
    ++progress.done;
    if (settings.onProgress) settings.onProgress(progress);
    if (buffer.size() >= 1 << 16 && !flush()) break;
  }
  report.songs = report.kept + report.read;
  if (!flush() || std::fflush(out) != 0 || std::ferror(out)) {
    error = std::string("cannot write the library: ") + std::strerror(errno);
    return false;
  }
  return true;
}

std::string FormatScanSummary(const ScanReport& report, size_t named) {
  std::string line = std::to_string(report.songs) + " songs written (" + std::to_string(report.kept) +
                     " unchanged, " + std::to_string(report.read) + " read), " +
                     std::to_string(report.notAudio) + " files skipped as not audio, " +
                     std::to_string(report.problems.size()) + " could not be read";
  if (report.repeatedRoots == 1)
    line += ", 1 folder given twice or inside another given folder (walked once)";
  else if (report.repeatedRoots > 1)
    line += ", " + std::to_string(report.repeatedRoots) + " folders given twice or inside other given folders (walked once)";
  if (report.repeatedFolders == 1)
    line += ", 1 folder reached again through a link (walked once)";
  else if (report.repeatedFolders > 1)
    line += ", " + std::to_string(report.repeatedFolders) + " folders reached again through links (walked once)";
  if (report.nonUtf8Names > 0)
    line += ", " + std::to_string(report.nonUtf8Names) + " names not UTF-8 (listed by their bytes)";
  if (report.mendedTags > 0)
    line += ", " + std::to_string(report.mendedTags) + " read with tag texts not UTF-8 (bad bytes as U+FFFD)";
  line += '\n';
  for (size_t i = 0; i < report.problems.size() && i < named; ++i)
    line += "  " + PrintablePath(report.problems[i].path) + ": " + report.problems[i].reason + '\n';
  if (report.problems.size() > named)
    line += "  ... and " + std::to_string(report.problems.size() - named) + " more\n";
  return line;
}

}  // namespace tunyra
