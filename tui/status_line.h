#pragma once
// The screen's last line: MPD's queue as last read (its songs and time, or why it could
// not be read) and the last message, in the error colour when either is an error.

#include <chrono>
#include <string>

#include "tui/mpd_link.h"

namespace tunyra {

class StatusLine {
 public:
  explicit StatusLine(TuiMpd& mpd) : m_mpd(mpd) {}

  void Say(const std::string& text, bool error) {
    m_message = text;
    m_messageIsError = error;
  }
  // Reads MPD's queue now.
  void RefreshQueue();
  // Reads it again once the last reading is two seconds old.
  void RefreshQueueWhenStale();
  void Draw() const;

 private:
  TuiMpd& m_mpd;
  std::string m_message;
  bool m_messageIsError = false;
  TuiMpd::Queue m_queue;
  std::string m_queueError;
  std::chrono::steady_clock::time_point m_queueRead{};
};

}  // namespace tunyra
