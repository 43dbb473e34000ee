#include "scan/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "library/printable_path.h"
#include "scan/utf8_text.h"

namespace tunyra {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::string Child(const std::string& folder, const char* name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

bool IsLink(int folder, const dirent* entry) {
  if (entry->d_type != DT_UNKNOWN) return entry->d_type == DT_LNK;
  struct stat st;
  return fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

bool ResolveFolder(const std::string& folder, std::string& absolute, std::string& error) {
  char* resolved = realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) {
    error = PrintablePath(folder) + ": " + std::strerror(errno);
    return false;
  }
  absolute = resolved;
  std::free(resolved);
  struct stat st;
  if (stat(absolute.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = PrintablePath(folder) + ": not a folder";
    return false;
  }
  return true;
}

bool WalkFolders(const std::vector<std::string>& roots, WalkResult& result, std::string& error,
                 const std::function<void(size_t)>& onFound) {
  std::set<std::pair<dev_t, ino_t>> seen, given;
  std::vector<std::string> pending;
  for (const std::string& root : roots) {
    std::string absolute;
    if (!ResolveFolder(root, absolute, error)) return false;
    struct stat st;
    std::unique_ptr<DIR, DirCloser> probe(opendir(absolute.c_str()));
    if (!probe || stat(absolute.c_str(), &st) != 0) {
      error = PrintablePath(root) + ": cannot open the folder: " + std::strerror(errno);
      return false;
    }
    given.insert({st.st_dev, st.st_ino});
    if (seen.insert({st.st_dev, st.st_ino}).second)
      pending.push_back(absolute);
    else
      ++result.repeatedRoots;
  }

  while (!pending.empty()) {
    std::string folder = std::move(pending.back());
    pending.pop_back();
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
      // Gone since it was listed, or not ours to read.
      result.problems.push_back({folder, std::string("cannot open the folder: ") + std::strerror(errno)});
      continue;
    }
    while (true) {
      errno = 0;
      const dirent* entry = readdir(dir.get());
      if (entry == nullptr) {
        if (errno != 0)
          result.problems.push_back({folder, std::string("cannot list the folder: ") + std::strerror(errno)});
        break;
      }
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      const bool audio = IsAudioFileName(name);
      if (entry->d_type == DT_REG && !audio) {
        ++result.notAudio;
        continue;
      }
      struct stat st;
      if (fstatat(dirfd(dir.get()), name, &st, 0) != 0) {
        // A dangling link or a link loop; only worth naming when it looks like a song
        // or a folder could have been behind it.
        if (audio || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
          result.problems.push_back({Child(folder, name), std::strerror(errno)});
        else
          ++result.notAudio;
        continue;
      }
      if (S_ISDIR(st.st_mode)) {
        // A given folder met as a plain entry of another is no link's doing.
        if (seen.insert({st.st_dev, st.st_ino}).second)
          pending.push_back(Child(folder, name));
        else if (given.count({st.st_dev, st.st_ino}) != 0 && !IsLink(dirfd(dir.get()), entry))
          ++result.repeatedRoots;
        else
          ++result.repeatedFolders;
      } else if (!audio) {
        ++result.notAudio;
      } else if (!S_ISREG(st.st_mode)) {
        result.problems.push_back({Child(folder, name), "not a regular file"});
      } else {
        result.audio.push_back({Child(folder, name), StampOf(st)});
        if (!IsUtf8(result.audio.back().path)) ++result.nonUtf8Names;
        if (onFound && result.audio.size() % 256 == 0) onFound(result.audio.size());
      }
    }
  }
  std::sort(result.audio.begin(), result.audio.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  return true;
}

}  // namespace tunyra
