#include "platform/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string_view>

#include "library/printable_path.h"
#include "library/whole_number.h"
#include "platform/system_reason.h"

namespace tunyra {

namespace {

// The temporaries a signal removes, in storage the handler may read: it can do no more
// than load a flag and call unlink.
struct SignalSlot {
  std::atomic<bool> used{false};
  char path[PATH_MAX];
};
static_assert(std::atomic<bool>::is_always_lock_free);
SignalSlot g_slots[4];

void RemoveTemporariesAndReraise(int signal) {
  for (SignalSlot& slot : g_slots)
    if (slot.used.load()) unlink(slot.path);
  // SA_RESETHAND has put the default action back: the process ends as the signal asked
  // once the handler returns.
  raise(signal);
}

void InstallSignalHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // An ignored signal (nohup) stays ignored, and a handler of the program's own stays.
    if (sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL)
      continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndReraise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
}

int RegisterTemporary(const std::string& temp) {
  if (temp.size() >= PATH_MAX) return -1;  // left to the next run's clearing
  for (int i = 0; i < int(std::size(g_slots)); ++i) {
    if (g_slots[i].used.load()) continue;
    std::memcpy(g_slots[i].path, temp.c_str(), temp.size() + 1);
    g_slots[i].used.store(true);
    InstallSignalHandlers();
    return i;
  }
  return -1;
}

void UnregisterTemporary(int slot) {
  if (slot >= 0) g_slots[slot].used.store(false);
}

// With its last slash; empty for the working folder.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The name the symbolic links from `path` end at, which need not exist yet (a link to a
// library still to be made). False with errno set.
bool FollowLinks(std::string path, std::string& target) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      target = path;
      return true;
    }
    char link[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), link, sizeof link);
    if (n < 0) return false;
    if (size_t(n) == sizeof link) {
      errno = ENAMETOOLONG;
      return false;
    }
    path = link[0] == '/' ? std::string(link, size_t(n)) : FolderOf(path) + std::string(link, size_t(n));
  }
  errno = ELOOP;
  return false;
}

// The process that made a temporary of ours named `entry` (".tunyra-PID.tmp", or the
// older ".NAME.tmp-PID" of the library `name`); 0 for any other file.
pid_t TemporaryOwner(std::string_view entry, std::string_view name) {
  std::string_view digits;
  const std::string_view prefix = ".tunyra-", suffix = ".tmp";
  const std::string older = "." + std::string(name) + ".tmp-";
  if (entry.size() > prefix.size() + suffix.size() && entry.substr(0, prefix.size()) == prefix &&
      entry.substr(entry.size() - suffix.size()) == suffix)
    digits = entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
  else if (entry.size() > older.size() && entry.substr(0, older.size()) == older)
    digits = entry.substr(older.size());
  pid_t pid = 0;
  return ParseWholeNumber(digits, pid) && pid > 0 ? pid : 0;
}

// A temporary is stale when its process is gone and nobody holds its lock; the lock
// keeps a scan of another machine or PID namespace sharing the folder safe.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = readdir(dir)) {
    const pid_t owner = TemporaryOwner(entry->d_name, name);
    // Our own number on a temporary means a killed process had it before us.
    if (owner == 0 || (owner != getpid() && (kill(owner, 0) == 0 || errno != ESRCH))) continue;
    const int fd = openat(dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened, named;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
        fstatat(dirfd(dir), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
      unlinkat(dirfd(dir), entry->d_name, 0);
    close(fd);
  }
  closedir(dir);
}

}  // namespace

ReplacingFile::~ReplacingFile() { Drop(); }

void ReplacingFile::Drop() {
  if (m_file == nullptr) return;
  unlink(m_temp.c_str());
  UnregisterTemporary(m_slot);
  m_slot = -1;
  std::fclose(m_file);
  m_file = nullptr;
}

bool ReplacingFile::Open(const std::string& path, std::string& error) {
  Drop();
  m_path = path;
  auto fail = [&](const std::string& what) {
    error = PrintablePath(path) + ": " + what;
    return false;
  };
  auto failWith = [&](int code) {
    error = CannotWrite(SystemReason(code));
    return false;
  };
  if (!FollowLinks(path, m_target)) return failWith(errno);
  struct stat st;
  const bool exists = stat(m_target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return failWith(errno);
  if (exists) {
    if (S_ISDIR(st.st_mode)) return failWith(EISDIR);
    if (!S_ISREG(st.st_mode)) return fail(std::string("not a regular file; a ") + m_what + " is written only over one");
    if (st.st_nlink > 1)
      return fail("the file has " + std::to_string(st.st_nlink) + " hard links; a new " + m_what +
                  " would leave the other names with the old one, so it is left as it is (write the " + m_what +
                  " to another file and copy that over it)");
    if (faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0) return failWith(errno);
  }

  const std::string folder = FolderOf(m_target);
  RemoveStaleTemporaries(folder, m_target.substr(folder.size()));
  m_temp = folder + ".tunyra-" + std::to_string(getpid()) + ".tmp";
  // Private until it has the old file's owner and mode: the library may not be everyone's to read.
  const int fd = open(m_temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, exists ? 0600 : 0666);
  if (fd < 0) return failWith(errno);
  m_slot = RegisterTemporary(m_temp);
  flock(fd, LOCK_EX);  // held to the end: the temporary of a live process
  if (exists) {
    // Root gives the file back to its owner; anyone else keeps at least its group.
    if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, uid_t(-1), st.st_gid) != 0) {
    }
    fchmod(fd, st.st_mode & 07777);
  }
  m_file = fdopen(fd, "w+b");
  if (m_file == nullptr) {
    const int code = errno;
    unlink(m_temp.c_str());
    UnregisterTemporary(m_slot);
    m_slot = -1;
    close(fd);
    return failWith(code);
  }
  return true;
}

bool ReplacingFile::Commit(std::string& error) {
  errno = 0;
  const bool ok = std::fflush(m_file) == 0 && !std::ferror(m_file) && fsync(fileno(m_file)) == 0 &&
                  rename(m_temp.c_str(), m_target.c_str()) == 0;
  if (!ok) {
    error = CannotWrite(SystemReason(errno != 0 ? errno : EIO));
    Drop();
    return false;
  }
  UnregisterTemporary(m_slot);
  m_slot = -1;
  std::fclose(m_file);
  m_file = nullptr;
  return true;
}

}  // namespace tunyra
