#include "scan/folder_library.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "library/library_file_writer.h"
#include "library/printable_path.h"
#include "library/text_hash.h"
#include "platform/replacing_file.h"
#include "scan/previous_library.h"

namespace tunyra {

namespace {

std::string CacheRoot() {
  // The base-directory convention ignores a relative XDG_CACHE_HOME.
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* user = getpwuid(getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return std::string();
  return std::string(home) + "/.cache";
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = 1; slash != std::string::npos; ) {
    slash = path.find('/', slash + 1);
    std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

namespace {

std::string CacheName(std::uint64_t hash) {
  char name[32];
  std::snprintf(name, sizeof name, "%016" PRIx64 ".tsv", hash);
  return name;
}

// Earlier versions named a folder's cache by the FNV-1a hash of its path. Such a cache
// takes the name the core's hash gives when it is met, with its list of problems: the
// first run after an upgrade reads only what changed, as every run before it did. A
// cache that has its present name already is the one used; the other is left alone.
void RenameEarlierCache(const std::string& absoluteFolder, const std::string& cache) {
  std::uint64_t fnv1a = 14695981039346656037ULL;
  for (unsigned char c : absoluteFolder) fnv1a = (fnv1a ^ c) * 1099511628211ULL;
  const std::string earlier = cache.substr(0, cache.rfind('/') + 1) + CacheName(fnv1a);
  struct stat info;
  if (stat(cache.c_str(), &info) == 0 || std::rename(earlier.c_str(), cache.c_str()) != 0) return;
  std::rename((earlier + ".problems").c_str(), (cache + ".problems").c_str());
}

}  // namespace

std::string ScanCachePath(const std::string& absoluteFolder) {
  std::string root = CacheRoot();
  if (root.empty()) return root;
  return root + "/tunyra/" + CacheName(HashText(absoluteFolder));
}

namespace {

// The problems of the scan before, kept beside the cache, one "path\treason" a line
// (escaped as library fields): a problem met again is no news to the user.
void NoteNewProblems(const std::string& path, ScanReport& report) {
  std::set<std::string> known;
  if (std::FILE* in = std::fopen(path.c_str(), "r")) {
    char line[8192];
    while (std::fgets(line, sizeof line, in)) known.insert(line);
    std::fclose(in);
  }
  std::string lines;
  report.newProblems = 0;
  for (const ScanProblem& problem : report.problems) {
    const std::string line = EscapedField(problem.path.c_str()) + "\t" + EscapedField(problem.reason.c_str()) + "\n";
    report.newProblems += known.count(line) == 0;
    lines += line;
  }
  if (lines.empty()) {
    std::remove(path.c_str());
    return;
  }
  ReplacingFile file("list of problems");
  std::string ignored;
  if (file.Open(path, ignored) && std::fwrite(lines.data(), 1, lines.size(), file.File()) == lines.size())
    file.Commit(ignored);
}

}  // namespace

bool LoadFolderLibrary(const std::string& folder, const std::function<void(const ScanProgress&)>& onProgress,
                       LibraryFile& library, ScanReport& report, std::string& warning, std::string& error,
                       const LibraryRecordFilter& filter) {
  std::string absolute;
  if (!ResolveFolder(folder, absolute, error)) return false;
  const std::string cache = ScanCachePath(absolute);

  LibraryFile previous;
  std::string cacheError, damage;
  if (!cache.empty()) RenameEarlierCache(absolute, cache);
  // A damaged cache is only a slower scan: the folder is read again from the files, and
  // the cache rewritten. Never empty when a scan wrote it: it has its header line.
  struct stat info;
  if (!cache.empty() && LoadPreviousLibrary(cache, previous, damage) == PreviousLibrary::Nothing)
    damage = stat(cache.c_str(), &info) == 0 && info.st_size == 0 ? PrintablePath(cache) + ": empty file" : "";

  ScanSettings settings;
  settings.folders = {absolute};
  settings.previous = &previous;
  settings.onProgress = onProgress;
  ReplacingFile cacheFile("library");
  bool caching = !cache.empty() && MakeFolders(cache.substr(0, cache.rfind('/'))) &&
                 cacheFile.Open(cache, cacheError);
  if (cache.empty())
    warning = "no home folder for the scan cache; the next run scans again";
  else if (!caching)
    warning = (cacheError.empty() ? PrintablePath(cache) + ": cannot make its folder: " + std::strerror(errno)
                                  : cacheError) +
              "; the next run scans again";
  else if (!damage.empty())
    warning = "the scan cache of " + PrintablePath(folder) + " was damaged (" + damage +
              "); the folder is read again and the cache rewritten";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> scratch(caching ? nullptr : std::tmpfile(), &std::fclose);
  std::FILE* out = caching ? cacheFile.File() : scratch.get();
  if (out == nullptr) {
    error = std::string("cannot make a scratch file: ") + std::strerror(errno);
    return false;
  }
  if (!ScanFolders(settings, out, report, error)) return false;
  previous = LibraryFile();  // the kept lines are in `out` now

  std::rewind(out);
  const bool read = library.ReadStream(out, caching ? cache : absolute, error, filter);
  if (caching && !cacheFile.Commit(cacheError)) warning = cacheError + "; the next run scans again";
  // After the cache's own temporary is gone: the two are written through one name.
  if (caching) NoteNewProblems(cache + ".problems", report);
  return read;
}

}  // namespace tunyra
