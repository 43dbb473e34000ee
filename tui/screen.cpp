#include "tui/screen.h"

#include <curses.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <vector>

#include "library/condition_kind.h"
#include "picking/requested_time.h"
#include "tui/cell_text.h"
#include "tui/click_map.h"
#include "tui/help_view.h"
#include "tui/options_panel.h"
#include "tui/playlist_view.h"
#include "tui/status_line.h"
#include "tui/terminal_session.h"

namespace tunyra {

namespace {

constexpr int kMinWidth = 80, kMinHeight = 24;
constexpr int kFocusTime = 4, kFocusOptions = 5, kFocusCount = 6;

class Screen {
 public:
  Screen(DialogModel& model, TuiMpd& mpd, std::string libraryName)
      : m_model(model), m_mpd(mpd), m_libraryName(std::move(libraryName)), m_status(mpd) {}
  int Run();

 private:
  enum class View { Dialog, Playlist, Help };
  enum class Prompt { None, Search, SaveName, TooShort, Number, Minutes };

  void Draw();
  void DrawDialog();
  void DrawStatus();
  int ListRows() const { return LINES - 6; }
  int ColumnWidth() const { return COLS / 4; }
  void KeepVisible(size_t c);

  bool Key(wint_t key, bool code);
  bool DialogKey(wint_t key, bool code);
  bool PlaylistKey(wint_t key, bool code);
  void ApplyPrompt(Prompt prompt);
  void PromptKey(wint_t key, bool code);
  void Mouse();
  void Find(bool shorten);
  void HandOver(TuiMpd::HandOff how, const std::string& name = "");
  void Say(const std::string& text, bool error = false) { m_status.Say(text, error); }
  void StartPrompt(Prompt prompt, const std::string& label, const std::string& text = "") {
    m_prompt = prompt;
    m_promptLabel = label;
    m_promptText = text;
  }

  DialogModel& m_model;
  TuiMpd& m_mpd;
  std::string m_libraryName;
  StatusLine m_status;
  View m_view = View::Dialog;
  View m_helpFrom = View::Dialog;
  int m_focus = 0;
  OptionsPanel m_options;
  bool m_play = true;
  Prompt m_prompt = Prompt::None;
  std::string m_promptLabel, m_promptText;
  std::string m_question;  // the too-short question, in the dialog's lines
  std::string m_search;
  size_t m_searchFrom = 0;
  PlaylistView m_playlist;
  std::uint32_t m_seed = 0;
  ClickMap m_hits;
  HelpView m_help;
};

void Screen::KeepVisible(size_t c) {
  ModelColumn column = m_model.Column(c);
  const size_t rows = size_t(std::max(1, ListRows()));
  size_t top = column.top;
  if (column.cursor < top) top = column.cursor;
  if (column.cursor >= top + rows) top = column.cursor - rows + 1;
  const_cast<ModelColumn&>(m_model.Column(c)).top = top;
}

void Screen::Draw() {
  erase();
  m_hits.Clear();
  if (COLS < kMinWidth || LINES < kMinHeight) {
    const std::string need = "tunyra needs a terminal of at least 80x24; this one is " + std::to_string(COLS) +
                             "x" + std::to_string(LINES) + ".";
    for (int y = 0, at = 0; at < int(need.size()) && y < LINES; ++y, at += std::max(1, COLS))
      Put(y, 0, COLS, need.substr(size_t(at), size_t(std::max(1, COLS))));
    refresh();
    return;
  }
  if (m_view == View::Dialog) DrawDialog();
  if (m_view == View::Playlist) {
    m_playlist.Draw(m_model.Settings().minutes);
    if (m_prompt == Prompt::None)
      Put(LINES - 2, 0, COLS, "r replace the queue  a append  s save  f draw again  Esc back  ? keys  q quit", A_DIM);
  }
  if (m_view == View::Help) m_help.Draw();
  DrawStatus();
  refresh();
}

void Screen::DrawDialog() {
  const PickOptions& settings = m_model.Settings();
  const bool timeFocused = m_focus == kFocusTime;
  Put(0, 0, 8, "Tunyra", A_BOLD, kPairTitle);
  std::string minutes = timeFocused && m_prompt == Prompt::Minutes ? m_promptText : std::to_string(settings.minutes);
  Put(0, 8, 6, "Time: ");
  Put(0, 14, 8, "[" + std::string(minutes.size() < 5 ? 5 - minutes.size() : 0, ' ') + minutes + "]",
      timeFocused ? A_REVERSE : A_BOLD, timeFocused ? kPairFocus : 0);
  Put(0, 22, 9, " minutes");
  Put(0, 32, 19, Box(m_play) + "Start playing");
  m_hits.Add({0, 32, 19, kHitPlay, 0, 0});
  Put(0, 52, 22, Box(settings.allowDuplicates) + "Allow duplicates");
  m_hits.Add({0, 52, 22, kHitDuplicates, 0, 0});
  Put(0, 74, COLS - 74, "[Find]", A_BOLD);
  m_hits.Add({0, 74, 6, kHitFind, 0, 0});

  const int width = ColumnWidth();
  const int rows = ListRows();
  for (size_t c = 0; c < 4; ++c) {
    const int x = int(c) * width;
    const int w = width - 1;
    const ModelColumn& column = m_model.Column(c);
    const bool focused = m_focus == int(c);
    std::string link = c == 0 ? "" : column.link == ColumnLink::And ? "And " : "Or  ";
    if (c > 0) m_hits.Add({1, x, 4, kHitLink, int(c), 0});
    Put(1, x, 4, link, A_BOLD, kPairTitle);
    const std::string kind = std::string(kConditionKinds[column.kind].name);
    Put(1, x + 4, w - 4, kind + " " + std::to_string(column.tickedCount) + "/" + std::to_string(m_model.ValueCount(c)),
        focused ? A_REVERSE | A_BOLD : A_BOLD, focused ? kPairFocus : kPairTitle);
    m_hits.Add({1, x + 4, w - 4, kHitKind, int(c), 0});
    KeepVisible(c);
    const size_t count = m_model.ValueCount(c);
    for (int r = 0; r < rows; ++r) {
      const size_t row = column.top + size_t(r);
      if (row >= count) break;
      const bool ticked = m_model.IsTicked(c, row);
      const bool cursor = row == column.cursor;
      attr_t attr = cursor ? (focused ? A_REVERSE : A_UNDERLINE) : A_NORMAL;
      if (ticked) attr |= A_BOLD;
      Put(2 + r, x, w, Box(ticked) + m_model.Value(c, row), attr, ticked ? kPairTicked : 0);
      m_hits.Add({2 + r, x, w, kHitRow, int(c), row});
    }
    const int buttons = 2 + rows;
    Put(buttons, x, 5, "[All]");
    Put(buttons, x + 5, 6, "[None]");
    Put(buttons, x + 11, width - 11, "[Reverse]");
    m_hits.Add({buttons, x, 5, kHitAll, int(c), 0});
    m_hits.Add({buttons, x + 5, 6, kHitNone, int(c), 0});
    m_hits.Add({buttons, x + 11, 9, kHitReverse, int(c), 0});
  }

  // The options panel: one item each, Left and Right choose when it is focused.
  m_options.Draw(LINES - 3, settings, m_focus == kFocusOptions);
  if (m_prompt == Prompt::None)
    Put(LINES - 2, 0, COLS,
        "f Find Songs  Space tick  A/N/R  c kind  l Or/And  x exclude  / search  ? keys",
        A_DIM);
}

void Screen::DrawStatus() {
  if (m_prompt == Prompt::TooShort) {
    // The dialog's own lines, in a box above the prompt.
    std::vector<std::string> lines;
    std::istringstream text(m_question);
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    const int top = LINES - 3 - int(lines.size()) - 1;
    Put(top, 0, COLS, std::string(52, '-'), A_BOLD);
    for (size_t i = 0; i < lines.size(); ++i) Put(top + 1 + int(i), 0, COLS, " " + lines[i], A_BOLD, kPairFocus);
    Put(LINES - 3, 0, COLS, std::string(52, '-'), A_BOLD);
  }
  if (m_prompt != Prompt::None) {
    Put(LINES - 2, 0, COLS, m_promptLabel + m_promptText, A_BOLD);
    curs_set(1);
  } else {
    curs_set(0);
  }
  m_status.Draw();
  if (m_prompt != Prompt::None) {
    move(LINES - 2, std::min(COLS - 1, CellWidth(m_promptLabel + m_promptText)));
  }
}

void Screen::Find(bool shorten) {
  const char* fixed = std::getenv("TUNYRA_SEED");
  m_seed = fixed && *fixed ? static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10))
                           : static_cast<std::uint32_t>(std::time(nullptr));
  FoundSongs found = m_model.FindSongs(m_seed, shorten);
  if (found.outcome == FoundSongs::Outcome::TooShortCancelled) {
    m_question = found.message;
    StartPrompt(Prompt::TooShort, "OK (y, Enter) or Cancel (n, Esc)? ");
    return;
  }
  if (found.outcome != FoundSongs::Outcome::Playlist) {
    std::string message = found.message;
    std::replace(message.begin(), message.end(), '\n', ' ');
    Say(message, true);
    return;
  }
  m_playlist.Show(std::move(found));
  m_view = View::Playlist;
  Say("");
}

void Screen::HandOver(TuiMpd::HandOff how, const std::string& name) {
  std::vector<std::string> files;
  for (const FoundSongs::Song& song : m_playlist.Found().songs) files.push_back(song.fileName);
  std::string error;
  if (!m_mpd.Hand(files, how, m_play, name, error)) {
    Say(error, true);
  } else {
    const std::string count = std::to_string(files.size()) + " songs";
    Say(how == TuiMpd::HandOff::Replace  ? "The queue is now the " + count + "."
        : how == TuiMpd::HandOff::Append ? "The " + count + " were added to the queue."
                                         : "Saved as the playlist \"" + name + "\".");
  }
  m_status.RefreshQueue();
}

void Screen::PromptKey(wint_t key, bool code) {
  const bool enter = !code ? (key == L'\n' || key == L'\r') : key == KEY_ENTER;
  const bool escape = !code && key == 27;
  const bool erase = code ? key == KEY_BACKSPACE : (key == 127 || key == 8);
  const size_t c = size_t(std::min(m_focus, 3));
  if (m_prompt == Prompt::TooShort) {
    if (enter || (!code && (key == L'y' || key == L'Y'))) {
      m_prompt = Prompt::None;
      Find(true);
    } else if (escape || (!code && (key == L'n' || key == L'N'))) {
      m_prompt = Prompt::None;
      Say("Cancelled: adjust the criteria or the time.");
    }
    return;
  }
  if (escape) {
    if (m_prompt == Prompt::Search) m_model.SetCursor(c, m_searchFrom);
    m_prompt = Prompt::None;
    return;
  }
  if (erase) {
    while (!m_promptText.empty() && (m_promptText.back() & 0xC0) == 0x80) m_promptText.pop_back();
    if (!m_promptText.empty()) m_promptText.pop_back();
  } else if (!code && !enter && key >= 0x20) {
    char bytes[MB_LEN_MAX];
    std::mbstate_t state{};
    const size_t n = std::wcrtomb(bytes, wchar_t(key), &state);
    if (n != size_t(-1)) m_promptText.append(bytes, n);
  }
  if (m_prompt == Prompt::Search) {
    m_search = m_promptText;
    if (auto row = m_model.Search(c, m_search, m_searchFrom)) m_model.SetCursor(c, *row);
    if (enter) m_prompt = Prompt::None;
    return;
  }
  if (!enter) return;
  const Prompt prompt = m_prompt;
  m_prompt = Prompt::None;
  ApplyPrompt(prompt);
}

void Screen::ApplyPrompt(Prompt prompt) {
  PickOptions& settings = m_model.Settings();
  if (prompt == Prompt::SaveName) {
    if (!m_promptText.empty()) HandOver(TuiMpd::HandOff::Save, m_promptText);
  } else if (prompt == Prompt::Minutes) {
    char* end = nullptr;
    const long minutes = std::strtol(m_promptText.c_str(), &end, 10);
    if (m_promptText.empty() || *end != '\0' || minutes < kMinMinutes || minutes > kMaxMinutes)
      Say("The time must be " + std::to_string(kMinMinutes) + " to " + std::to_string(kMaxMinutes) + " minutes.", true);
    else
      settings.minutes = int(minutes);
  } else if (prompt == Prompt::Number) {
    const std::string refusal = m_options.Apply(m_promptText, settings);
    if (!refusal.empty()) Say(refusal, true);
  }
}

bool Screen::DialogKey(wint_t key, bool code) {
  PickOptions& settings = m_model.Settings();
  if (!code) {
    switch (key) {
      case L'f': Find(false); return true;
      case L'p': m_play = !m_play; return true;
      case L'd': settings.allowDuplicates = !settings.allowDuplicates; return true;
      case L'+': settings.minutes = std::min(kMaxMinutes, settings.minutes + 5); return true;
      case L'-': settings.minutes = std::max(kMinMinutes, settings.minutes - 5); return true;
      default: break;
    }
  }
  if (m_focus == kFocusTime) {
    if (!code && key >= L'0' && key <= L'9') {
      StartPrompt(Prompt::Minutes, "Total time in minutes: ");
      PromptKey(key, code);
    } else if (code && (key == KEY_UP || key == KEY_DOWN)) {
      settings.minutes = std::clamp(settings.minutes + (key == KEY_UP ? 1 : -1), kMinMinutes, kMaxMinutes);
    } else if ((!code && (key == L'\n' || key == L' ')) || (code && key == KEY_ENTER)) {
      StartPrompt(Prompt::Minutes, "Total time in minutes: ");
    }
    return true;
  }
  if (m_focus == kFocusOptions) {
    if (code && (key == KEY_LEFT || key == KEY_RIGHT)) m_options.Move(key == KEY_LEFT ? -1 : 1);
    if ((!code && (key == L' ' || key == L'\n')) || (code && key == KEY_ENTER)) {
      std::string said;
      const std::string label = m_options.Activate(settings, said);
      if (!said.empty()) Say(said);
      if (!label.empty()) StartPrompt(Prompt::Number, label);
    }
    return true;
  }
  const size_t c = size_t(m_focus);
  const long long page = std::max(1, ListRows() - 1);
  if (code) {
    switch (key) {
      case KEY_UP: m_model.MoveCursor(c, -1); break;
      case KEY_DOWN: m_model.MoveCursor(c, 1); break;
      case KEY_HOME: m_model.SetCursor(c, 0); break;
      case KEY_END: m_model.SetCursor(c, SIZE_MAX); break;
      case KEY_PPAGE: m_model.MoveCursor(c, -page); break;
      case KEY_NPAGE: m_model.MoveCursor(c, page); break;
      case KEY_LEFT: m_focus = (m_focus + 3) % 4; break;
      case KEY_RIGHT: m_focus = (m_focus + 1) % 4; break;
      default: break;
    }
    return true;
  }
  const size_t cursor = m_model.Column(c).cursor;
  switch (key) {
    case L'k': m_model.MoveCursor(c, -1); break;
    case L'j': m_model.MoveCursor(c, 1); break;
    case L'g': m_model.SetCursor(c, 0); break;
    case L'G': m_model.SetCursor(c, SIZE_MAX); break;
    case 21: m_model.MoveCursor(c, -page / 2); break;  // Ctrl-u
    case 4: m_model.MoveCursor(c, page / 2); break;    // Ctrl-d
    case L' ': m_model.Toggle(c, cursor); break;
    case L'A': m_model.TickAll(c); break;
    case L'N': m_model.TickNone(c); break;
    case L'R': m_model.Reverse(c); break;
    case L'c': m_model.SetKind(c, (m_model.Column(c).kind + 1) % kKindCount); break;
    case L'l':
      if (c > 0)
        m_model.SetLink(c, m_model.Column(c).link == ColumnLink::Or ? ColumnLink::And : ColumnLink::Or);
      break;
    case L'x': {
      if (m_model.ValueCount(c) == 0) break;
      const int kind = m_model.Column(c).kind;
      const std::string value = m_model.Value(c, cursor);
      auto& excludes = settings.excludes;
      const auto same = [&](const PickExclusion& e) { return e.kind == kind && e.value == value; };
      if (std::any_of(excludes.begin(), excludes.end(), same)) {
        excludes.erase(std::remove_if(excludes.begin(), excludes.end(), same), excludes.end());
        Say("No longer excluded: " + value);
      } else {
        excludes.push_back({0, ConditionKind(kind), value, std::string(KindInfo(kind)->name) + "=" + value});
        Say("Excluded: " + value);
      }
      break;
    }
    case L'/':
      m_searchFrom = cursor;
      StartPrompt(Prompt::Search, "Search " + std::string(kConditionKinds[m_model.Column(c).kind].name) + ": ");
      break;
    case L'n':
      if (auto row = m_model.Search(c, m_search, cursor + 1)) m_model.SetCursor(c, *row);
      else if (!m_search.empty()) Say("No value holds \"" + m_search + "\".");
      break;
    default: break;
  }
  return true;
}

bool Screen::PlaylistKey(wint_t key, bool code) {
  if (m_playlist.Scroll(key, code)) return true;
  switch (key) {
    case L'r': HandOver(TuiMpd::HandOff::Replace); break;
    case L'a': HandOver(TuiMpd::HandOff::Append); break;
    case L's': StartPrompt(Prompt::SaveName, "Save as the stored playlist: "); break;
    case L'f': Find(false); break;
    case 27: m_view = View::Dialog; break;
    default: break;
  }
  return true;
}

void Screen::Mouse() {
  MEVENT event;
  if (getmouse(&event) != OK) return;
  if (m_view == View::Playlist) {
    if (event.bstate & BUTTON4_PRESSED) m_playlist.Scroll(KEY_UP, true);
    if (event.bstate & BUTTON5_PRESSED) m_playlist.Scroll(KEY_DOWN, true);
    return;
  }
  if (m_view != View::Dialog) return;
  const Hit* hit = m_hits.At(event.y, event.x);
  if (hit == nullptr) return;
  const size_t c = size_t(hit->column);
  if (event.bstate & (BUTTON4_PRESSED | BUTTON5_PRESSED)) {
    if (hit->what != kHitRow) return;
    // The wheel scrolls the list under the pointer, three rows a notch.
    m_model.MoveCursor(c, (event.bstate & BUTTON4_PRESSED) ? -3 : 3);
    return;
  }
  if (!(event.bstate & (BUTTON1_CLICKED | BUTTON1_PRESSED | BUTTON1_RELEASED))) return;
  if (event.bstate & BUTTON1_RELEASED) return;
  switch (hit->what) {
    case kHitRow:
      m_focus = hit->column;
      m_model.SetCursor(c, hit->row);
      m_model.Toggle(c, hit->row);
      break;
    case kHitAll: m_model.TickAll(c); break;
    case kHitNone: m_model.TickNone(c); break;
    case kHitReverse: m_model.Reverse(c); break;
    case kHitKind: m_model.SetKind(c, (m_model.Column(c).kind + 1) % kKindCount); break;
    case kHitLink:
      m_model.SetLink(c, m_model.Column(c).link == ColumnLink::Or ? ColumnLink::And : ColumnLink::Or);
      break;
    case kHitPlay: m_play = !m_play; break;
    case kHitDuplicates: m_model.Settings().allowDuplicates = !m_model.Settings().allowDuplicates; break;
    case kHitFind: Find(false); break;
  }
}

bool Screen::Key(wint_t key, bool code) {
  if (code && key == KEY_RESIZE) return true;
  if (code && key == KEY_MOUSE) {
    Mouse();
    return true;
  }
  if (m_prompt != Prompt::None) {
    PromptKey(key, code);
    return true;
  }
  if (m_view == View::Help) {
    if (!m_help.Key(key, code)) m_view = m_helpFrom;
    return true;
  }
  if (!code && key == L'q') return false;
  if (!code && key == L'?') {
    m_helpFrom = m_view;
    m_view = View::Help;
    m_help.Open();
    return true;
  }
  if (m_view == View::Dialog) {
    if (!code && key == L'\t') {
      m_focus = (m_focus + 1) % kFocusCount;
      return true;
    }
    if (code && key == KEY_BTAB) {
      m_focus = (m_focus + kFocusCount - 1) % kFocusCount;
      return true;
    }
    return DialogKey(key, code);
  }
  return PlaylistKey(key, code);
}

int Screen::Run() {
  m_status.RefreshQueue();
  for (;;) {
    Draw();
    wint_t key = 0;
    const int got = get_wch(&key);
    if (TerminalSession::Interrupted()) return 130;
    if (got == ERR) {
      // Idle: the queue as MPD has it now, every two seconds.
      m_status.RefreshQueueWhenStale();
      continue;
    }
    if (COLS < kMinWidth || LINES < kMinHeight) {
      if (got != KEY_CODE_YES && key == L'q') return 0;
      continue;
    }
    if (!Key(key, got == KEY_CODE_YES)) return 0;
  }
}

}  // namespace

int RunScreen(DialogModel& model, TuiMpd& mpd, const std::string& libraryName) {
  const TerminalSession terminal;
  Screen screen(model, mpd, libraryName);
  return screen.Run();
}

}  // namespace tunyra
