#pragma once
// The terminal program's MPD: the library read from it, the queue shown in the status
// line, and the playlist handed over. A connection that fails is dropped and made again
// at the next use, so an MPD that went away and came back is used again; every failure
// is a message for the status line.

#include <memory>
#include <string>
#include <vector>

#include "library/library_file.h"
#include "mpd/mpd_session.h"

namespace tunyra {

class TuiMpd {
 public:
  // `address` as after "mpd:" (empty: the MPD that mpc would reach).
  explicit TuiMpd(std::string address) : m_address(std::move(address)) {}

  // Every song of MPD's database as library records. False with `error`.
  bool ReadLibrary(LibraryFile& library, std::string& error);

  struct Queue {
    bool known = false;
    unsigned songs = 0;
    long long seconds = 0;
  };
  // The queue's length and total time; known false with `error` when MPD cannot say.
  Queue ReadQueue(std::string& error);

  // How the last talk with MPD failed (None when it did not).
  MpdFailure LastFailure() const { return m_lastFailure; }

  enum class HandOff { Replace, Append, Save };
  // The songs (library file names) to the queue or saved as the stored playlist `name`,
  // all or nothing as tunyra-pick hands them over. False with `error`.
  bool Hand(const std::vector<std::string>& fileNames, HandOff how, bool play, const std::string& name,
            std::string& error);

 private:
  MpdSession* Session(std::string& error);
  // The failure said; a lost or unreachable MPD drops the session.
  void Drop(const MpdError& failure, std::string& error);

  std::string m_address;
  std::unique_ptr<MpdSession> m_session;
  MpdFailure m_lastFailure = MpdFailure::None;
};

}  // namespace tunyra
