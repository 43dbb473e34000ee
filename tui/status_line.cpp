#include "tui/status_line.h"

#include "picking/playlist_text.h"
#include "tui/cell_text.h"

namespace tunyra {

void StatusLine::RefreshQueue() {
  std::string error;
  m_queue = m_mpd.ReadQueue(error);
  m_queueError = error;
  m_queueRead = std::chrono::steady_clock::now();
}

void StatusLine::RefreshQueueWhenStale() {
  if (std::chrono::steady_clock::now() - m_queueRead > std::chrono::seconds(2)) RefreshQueue();
}

void StatusLine::Draw() const {
  std::string line;
  if (m_queue.known)
    line = "MPD: " + std::to_string(m_queue.songs) + " songs, " + FormatDuration(m_queue.seconds) + " in the queue";
  else
    line = "MPD: " + (m_queueError.empty() ? std::string("not read yet") : m_queueError);
  if (!m_message.empty()) line += "  |  " + m_message;
  const bool error = m_messageIsError || !m_queue.known;
  Put(LINES - 1, 0, COLS, line, A_REVERSE, error ? kPairError : kPairStatus);
}

}  // namespace tunyra
