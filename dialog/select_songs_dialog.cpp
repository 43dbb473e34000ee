#include "dialog/select_songs_dialog.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <new>
#include <utility>

#include "dialog/ansi_value_order.h"
#include "dialog/condition_columns.h"
#include "library/host_library_result.h"
#include "picking/candidate_matching.h"
#include "picking/random_source.h"
#include "picking/playlist_hand_off.h"
#include "picking/requested_time.h"
#include "picking/time_fill.h"
#include "resources/resource.h"
#include "splash/about_splash.h"
#include "winui/data_exchange.h"
#include "winui/module_instance.h"

namespace tunyra {

namespace {

// The arrows start at 15: 5 to 14 can only be typed.
constexpr int kSpinLow = 15;
constexpr UINT kRefusalType = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT kQuestionType = MB_OKCANCEL | MB_ICONEXCLAMATION;

struct ToolTipRow {
  int controlId;
  UINT stringId;
};

constexpr ToolTipRow kToolTips[] = {
    {IDC_MINUTES, IDS_TIP_MINUTES},
    {IDC_KIND1, IDS_TIP_KIND1},
    {IDC_KIND2, IDS_TIP_KIND2},
    {IDC_KIND3, IDS_TIP_KIND3},
    {IDC_KIND4, IDS_TIP_KIND4},
    // The value lists share one text ("Select the items which you would like to
    // include.").
    {IDC_LIST1, IDS_TIP_LIST1},
    {IDC_LIST2, IDS_TIP_LIST2},
    {IDC_LIST3, IDS_TIP_LIST3},
    {IDC_LIST4, IDS_TIP_LIST4},
    {IDC_START_PLAYING, IDS_TIP_START_PLAYING},
    {IDC_ALLOW_DUPLICATES, IDS_TIP_ALLOW_DUPLICATES},
    {IDOK, IDS_TIP_FIND_SONGS},
    {IDCANCEL, IDS_TIP_CANCEL},
};

// The seed of the random picks of one press of "Find Songs": the current time in whole
// seconds. A testing aid: a whole number in the environment variable TUNYRA_SEED fixes
// it, so that a test can compute the same playlist with the picking core.
std::uint32_t SeedForPress() {
  char text[32] = {};
  const DWORD length = ::GetEnvironmentVariableA("TUNYRA_SEED", text, sizeof text);
  if (length > 0 && length < sizeof text) {
    char* end = nullptr;
    const unsigned long seed = std::strtoul(text, &end, 10);
    if (end != text && *end == '\0') return static_cast<std::uint32_t>(seed);
  }
  return static_cast<std::uint32_t>(std::time(nullptr));
}

}  // namespace

const CSelectSongsDlg::CommandRow CSelectSongsDlg::kCommandMap[] = {
    {BN_CLICKED, IDC_ABOUT, &CSelectSongsDlg::OnAbout},
};

const CSelectSongsDlg::ColumnCommandRow CSelectSongsDlg::kColumnCommandMap[] = {
    {CBN_SELCHANGE, &ConditionColumnIds::kind, &CSelectSongsDlg::OnSelchangeKind},
    {BN_CLICKED, &ConditionColumnIds::all, &CSelectSongsDlg::OnAll},
    {BN_CLICKED, &ConditionColumnIds::none, &CSelectSongsDlg::OnNone},
    {BN_CLICKED, &ConditionColumnIds::reverse, &CSelectSongsDlg::OnReverse},
};

CSelectSongsDlg::CSelectSongsDlg(HostOperations& host, winui::Wnd* parent)
    // The template's up-down control, and the tooltips.
    : winui::Dialog(IDD_SELECT_SONGS, parent, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES),
      m_columns{{
          {{IDC_KIND1, IDC_LIST1, IDC_ALL1, IDC_NONE1, IDC_REVERSE1}, kKindArtist},
          {{IDC_KIND2, IDC_LIST2, IDC_ALL2, IDC_NONE2, IDC_REVERSE2}, kKindTitle},
          {{IDC_KIND3, IDC_LIST3, IDC_ALL3, IDC_NONE3, IDC_REVERSE3}, kKindAlbum},
          {{IDC_KIND4, IDC_LIST4, IDC_ALL4, IDC_NONE4, IDC_REVERSE4}, kKindGenre},
      }},
      m_nMinutes(60),
      m_nLink2(0),
      m_nLink3(0),
      m_nLink4(0),
      m_bStartPlaying(1),
      m_bAllowDuplicates(0),
      m_host(host),
      m_snapshot(AnsiValueOrder()) {
  SetMessageCaption(kMessageCaption);
}

CSelectSongsDlg::~CSelectSongsDlg() = default;

bool CSelectSongsDlg::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (!header || (header->code != TTN_NEEDTEXTA && header->code != TTN_NEEDTEXTW)) return false;
      OnToolTipNotify(0, header, &result);
      return true;
    }
    case WM_COMMAND:
      for (const CommandRow& row : kCommandMap) {
        if (row.code == HIWORD(wParam) && row.id == LOWORD(wParam)) {
          (this->*row.handler)();
          result = 0;
          return true;
        }
      }
      for (const ColumnCommandRow& row : kColumnCommandMap) {
        if (row.code != HIWORD(wParam)) continue;
        for (ConditionColumn& column : m_columns) {
          if (column.Ids().*row.id != LOWORD(wParam)) continue;
          (this->*row.handler)(column);
          result = 0;
          return true;
        }
      }
      return false;
    case WM_CREATE:
      result = OnCreate(msg, wParam, lParam);
      return true;
    case WM_DESTROY:
      OnDestroy(msg, wParam, lParam);
      result = 0;
      return true;
    default:
      return false;
  }
}

int CSelectSongsDlg::OnCreate(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (Default(msg, wParam, lParam) == -1) return -1;
  m_openingOutOfMemory = false;
  m_steps.Start("open");
  try {
    // As m_snapshot.Load does it, in steps the benchmark can time.
    {
      const HostLibraryResult result(m_host);
      m_steps.Mark("the host's library query");
      m_snapshot.Rebuild(result.Records());
      m_steps.Mark("snapshot: copy and value sets");
    }
    m_steps.Mark("the host's result handed back");
  } catch (const std::bad_alloc&) {
    m_snapshot.Release();
    m_openingOutOfMemory = true;
  }
  return 0;
}

void CSelectSongsDlg::OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam) {
  m_steps.Mark("to the dialog's WM_DESTROY");
  Default(msg, wParam, lParam);
  m_snapshot.Release();
  m_steps.Mark("snapshot released");
}

void CSelectSongsDlg::DoDataExchange(winui::DataExchange& dx) {
  using namespace winui;
  DDX_Control(dx, IDC_HEADER, m_ctlHeader);
  DDX_Control(dx, IDC_MINUTES_SPIN, m_ctlSpin);
  // Right to left, the order the exchange has always attached the lists in.
  for (auto column = m_columns.rbegin(); column != m_columns.rend(); ++column)
    DDX_Control(dx, column->Ids().list, column->List());
  for (ConditionColumn& column : m_columns) DDX_CBIndex(dx, column.Ids().kind, column.Kind());
  DDX_Text(dx, IDC_MINUTES, m_nMinutes);
  DDV_MinMaxInt(dx, m_nMinutes, kMinMinutes, kMaxMinutes);
  DDX_Radio(dx, IDC_OR2, m_nLink2);
  DDX_Radio(dx, IDC_OR3, m_nLink3);
  DDX_Radio(dx, IDC_OR4, m_nLink4);
  DDX_Check(dx, IDC_START_PLAYING, m_bStartPlaying);
  DDX_Check(dx, IDC_ALLOW_DUPLICATES, m_bAllowDuplicates);
}

BOOL CSelectSongsDlg::OnInitDialog() {
  try {
    if (!m_openingOutOfMemory) {
      winui::Dialog::OnInitDialog();
      EnableToolTips(true);
      EnlargeHeaderFont();
      m_steps.Mark("creation and exchange");
      static constexpr const char* kFillSteps[] = {"column 1 filled", "column 2 filled", "column 3 filled",
                                                   "column 4 filled"};
      for (size_t c = 0; c < m_columns.size(); ++c) {
        m_columns[c].Fill(m_snapshot);
        m_steps.Mark(kFillSteps[c]);
      }
      m_ctlSpin.Send(UDM_SETRANGE32, kSpinLow, kMaxMinutes);
    }
  } catch (const std::bad_alloc&) {
    m_openingOutOfMemory = true;
  }
  m_steps.Finish();
  // Half-filled columns would offer a choice the library does not have.
  if (m_openingOutOfMemory) EndDialog(IDCANCEL);
  return TRUE;
}

void CSelectSongsDlg::EnlargeHeaderFont() {
  auto font = reinterpret_cast<HFONT>(m_ctlHeader.Send(WM_GETFONT));
  LOGFONTA logFont{};
  if (!font || ::GetObjectA(font, sizeof logFont, &logFont) != sizeof logFont) return;
  logFont.lfHeight *= 2;
  logFont.lfWidth *= 2;
  m_fontHeader.reset(::CreateFontIndirectA(&logFont));
  if (m_fontHeader) m_ctlHeader.Send(WM_SETFONT, reinterpret_cast<WPARAM>(m_fontHeader.get()), TRUE);
}

BOOL CSelectSongsDlg::OnToolTipNotify(UINT, NMHDR* header, LRESULT*) {
  // The A and W records differ in the size of their text buffer, so the fields after
  // it are reached through the record of the notification's own kind.
  const bool wide = header->code == TTN_NEEDTEXTW;
  auto* recordA = reinterpret_cast<NMTTDISPINFOA*>(header);
  auto* recordW = reinterpret_cast<NMTTDISPINFOW*>(header);
  const UINT flags = wide ? recordW->uFlags : recordA->uFlags;
  UINT_PTR id = header->idFrom;
  if (flags & TTF_IDISHWND) id = static_cast<UINT_PTR>(::GetDlgCtrlID(reinterpret_cast<HWND>(id)));
  if (id == 0) return FALSE;
  for (const ToolTipRow& row : kToolTips) {
    if (static_cast<UINT_PTR>(row.controlId) != id) continue;
    if (wide) {
      recordW->hinst = winui::ModuleInstance();
      recordW->lpszText = MAKEINTRESOURCEW(row.stringId);
    } else {
      recordA->hinst = winui::ModuleInstance();
      recordA->lpszText = MAKEINTRESOURCEA(row.stringId);
    }
    return TRUE;
  }
  return FALSE;
}

void CSelectSongsDlg::OnAbout() { ShowAboutSplash(GetSafeHwnd(), 0); }

void CSelectSongsDlg::OnSelchangeKind(ConditionColumn& column) {
  const int before = column.Kind();
  // The exchange reads the new kind even when it refuses another value.
  UpdateData(true);
  if (column.Kind() != before) column.Fill(m_snapshot);
}

void CSelectSongsDlg::OnAll(ConditionColumn& column) { column.CheckAll(); }
void CSelectSongsDlg::OnNone(ConditionColumn& column) { column.UncheckAll(); }
void CSelectSongsDlg::OnReverse(ConditionColumn& column) { column.ReverseChecks(); }

void CSelectSongsDlg::OnOK() {
  // The playlist is handed over only once the picks are complete: memory that runs out
  // before that leaves it as it was.
  MatchResult match;
  FillResult fill;
  // Written when the dialog has gone, or when it stays below.
  m_steps.Start("find");
  struct FinishUnlessClosed {
    winui::StepTimes& steps;
    bool closing = false;
    ~FinishUnlessClosed() {
      if (!closing) steps.Finish();
    }
  } finish{m_steps};
  try {
    // A refused value has just been explained to the user; picking from the values of
    // the last exchange would fill a playlist the dialog no longer shows.
    if (!UpdateData(true)) return;
    m_steps.Mark("exchange");
    LcgRandomSource random(SeedForPress());
    const std::int32_t totalSeconds = m_nMinutes * 60;

    std::array<ColumnCondition, 4> columns;
    for (size_t c = 0; c < columns.size(); ++c) columns[c] = m_columns[c].Condition(m_snapshot);
    m_steps.Mark("reading the checks");
    const std::array<ColumnLink, 3> links = {LinkFromValue(m_nLink2), LinkFromValue(m_nLink3),
                                             LinkFromValue(m_nLink4)};
    match = BuildCandidates(m_snapshot.Records(), columns, links);
    m_steps.Mark("matching");
    if (match.refusal != MatchRefusal::None) {
      MessageBox(RefusalText(match.refusal), kMessageCaption, kRefusalType);
      return;
    }
    const auto askShorten = [this] {
      return MessageBox(kTooShortQuestion, kMessageCaption, kQuestionType) == IDOK;
    };
    fill = FillTime(match.candidates,
                    {.totalSeconds = totalSeconds, .allowDuplicates = m_bAllowDuplicates != 0, .askShorten = askShorten},
                    random);
    m_steps.Mark("time fill");
  } catch (const std::bad_alloc&) {
    MessageBox(kNoMemoryToFindText, kMessageCaption, kRefusalType);
    return;
  }
  if (fill.cancelled) return;
  if (fill.picks.empty()) {
    // Clearing the playlist for an empty one would lose the user's for nothing.
    MessageBox(NothingPickedText(match.candidates), kMessageCaption, kRefusalType);
    return;
  }
  HandOffPlaylist(m_host, fill.picks, m_bStartPlaying != 0);
  m_steps.Mark("hand-off");
  finish.closing = true;
  winui::Dialog::OnOK();
}

}  // namespace tunyra
