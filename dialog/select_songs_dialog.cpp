#include "dialog/select_songs_dialog.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <utility>

#include "dialog/condition_columns.h"
#include "picking/candidate_matching.h"
#include "picking/random_source.h"
#include "picking/playlist_hand_off.h"
#include "picking/time_fill.h"
#include "resources/resource.h"
#include "splash/about_splash.h"
#include "winui/data_exchange.h"
#include "winui/module_instance.h"

namespace {

constexpr int kMinMinutes = 5;
constexpr int kMaxMinutes = 3600;
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
    {CBN_SELCHANGE, IDC_KIND1, &CSelectSongsDlg::OnSelchangeKind1},
    {CBN_SELCHANGE, IDC_KIND2, &CSelectSongsDlg::OnSelchangeKind2},
    {CBN_SELCHANGE, IDC_KIND3, &CSelectSongsDlg::OnSelchangeKind3},
    {CBN_SELCHANGE, IDC_KIND4, &CSelectSongsDlg::OnSelchangeKind4},
    {BN_CLICKED, IDC_ALL1, &CSelectSongsDlg::OnAll1},
    {BN_CLICKED, IDC_ALL2, &CSelectSongsDlg::OnAll2},
    {BN_CLICKED, IDC_ALL3, &CSelectSongsDlg::OnAll3},
    {BN_CLICKED, IDC_ALL4, &CSelectSongsDlg::OnAll4},
    {BN_CLICKED, IDC_NONE1, &CSelectSongsDlg::OnNone1},
    {BN_CLICKED, IDC_NONE2, &CSelectSongsDlg::OnNone2},
    {BN_CLICKED, IDC_NONE3, &CSelectSongsDlg::OnNone3},
    {BN_CLICKED, IDC_NONE4, &CSelectSongsDlg::OnNone4},
    {BN_CLICKED, IDC_REVERSE1, &CSelectSongsDlg::OnReverse1},
    {BN_CLICKED, IDC_REVERSE2, &CSelectSongsDlg::OnReverse2},
    {BN_CLICKED, IDC_REVERSE3, &CSelectSongsDlg::OnReverse3},
    {BN_CLICKED, IDC_REVERSE4, &CSelectSongsDlg::OnReverse4},
};

CSelectSongsDlg::CSelectSongsDlg(HostOperations& host, winui::Wnd* parent)
    : winui::Dialog(IDD_SELECT_SONGS, parent),
      m_nKind1(kKindArtist),
      m_nKind2(kKindTitle),
      m_nKind3(kKindAlbum),
      m_nKind4(kKindGenre),
      m_nMinutes(60),
      m_nLink2(0),
      m_nLink3(0),
      m_nLink4(0),
      m_bStartPlaying(1),
      m_bAllowDuplicates(0),
      m_host(host) {
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
  m_snapshot.Load(m_host);
  return 0;
}

void CSelectSongsDlg::OnDestroy(UINT msg, WPARAM wParam, LPARAM lParam) {
  Default(msg, wParam, lParam);
  m_snapshot.Release();
}

void CSelectSongsDlg::DoDataExchange(winui::DataExchange& dx) {
  using namespace winui;
  DDX_Control(dx, IDC_HEADER, m_ctlHeader);
  DDX_Control(dx, IDC_MINUTES_SPIN, m_ctlSpin);
  DDX_Control(dx, IDC_LIST4, m_lstColumn4);
  DDX_Control(dx, IDC_LIST3, m_lstColumn3);
  DDX_Control(dx, IDC_LIST2, m_lstColumn2);
  DDX_Control(dx, IDC_LIST1, m_lstColumn1);
  DDX_CBIndex(dx, IDC_KIND1, m_nKind1);
  DDX_CBIndex(dx, IDC_KIND2, m_nKind2);
  DDX_CBIndex(dx, IDC_KIND3, m_nKind3);
  DDX_CBIndex(dx, IDC_KIND4, m_nKind4);
  DDX_Text(dx, IDC_MINUTES, m_nMinutes);
  DDV_MinMaxInt(dx, m_nMinutes, kMinMinutes, kMaxMinutes);
  DDX_Radio(dx, IDC_OR2, m_nLink2);
  DDX_Radio(dx, IDC_OR3, m_nLink3);
  DDX_Radio(dx, IDC_OR4, m_nLink4);
  DDX_Check(dx, IDC_START_PLAYING, m_bStartPlaying);
  DDX_Check(dx, IDC_ALLOW_DUPLICATES, m_bAllowDuplicates);
}

BOOL CSelectSongsDlg::OnInitDialog() {
  winui::Dialog::OnInitDialog();
  EnableToolTips(true);
  EnlargeHeaderFont();
  FillColumn(m_lstColumn1, m_nKind1);
  FillColumn(m_lstColumn2, m_nKind2);
  FillColumn(m_lstColumn3, m_nKind3);
  FillColumn(m_lstColumn4, m_nKind4);
  m_ctlSpin.Send(UDM_SETRANGE32, kSpinLow, kMaxMinutes);
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

void CSelectSongsDlg::FillColumn(winui::CheckListBox& list, int kind) {
  list.SetValues(m_snapshot.DisplayValues(kind));
  list.FitHorizontalExtent();
}

void CSelectSongsDlg::ChangeKind(winui::CheckListBox& list, int& kind) {
  const int before = kind;
  UpdateData(true);
  if (kind != before) FillColumn(list, kind);
}

void CSelectSongsDlg::OnSelchangeKind1() { ChangeKind(m_lstColumn1, m_nKind1); }
void CSelectSongsDlg::OnSelchangeKind2() { ChangeKind(m_lstColumn2, m_nKind2); }
void CSelectSongsDlg::OnSelchangeKind3() { ChangeKind(m_lstColumn3, m_nKind3); }
void CSelectSongsDlg::OnSelchangeKind4() { ChangeKind(m_lstColumn4, m_nKind4); }
void CSelectSongsDlg::OnAll1() { CheckAll(m_lstColumn1); }
void CSelectSongsDlg::OnAll2() { CheckAll(m_lstColumn2); }
void CSelectSongsDlg::OnAll3() { CheckAll(m_lstColumn3); }
void CSelectSongsDlg::OnAll4() { CheckAll(m_lstColumn4); }
void CSelectSongsDlg::OnNone1() { UncheckAll(m_lstColumn1); }
void CSelectSongsDlg::OnNone2() { UncheckAll(m_lstColumn2); }
void CSelectSongsDlg::OnNone3() { UncheckAll(m_lstColumn3); }
void CSelectSongsDlg::OnNone4() { UncheckAll(m_lstColumn4); }
void CSelectSongsDlg::OnReverse1() { ReverseChecks(m_lstColumn1); }
void CSelectSongsDlg::OnReverse2() { ReverseChecks(m_lstColumn2); }
void CSelectSongsDlg::OnReverse3() { ReverseChecks(m_lstColumn3); }
void CSelectSongsDlg::OnReverse4() { ReverseChecks(m_lstColumn4); }

void CSelectSongsDlg::OnOK() {
  // A refused value has just been explained to the user; picking from the values of
  // the last exchange would fill a playlist the dialog no longer shows.
  if (!UpdateData(true)) return;
  LcgRandomSource random(SeedForPress());
  const std::int32_t totalSeconds = m_nMinutes * 60;

  std::array<ColumnCondition, 4> columns;
  const std::array<std::pair<int, const winui::CheckListBox*>, 4> sources = {
      {{m_nKind1, &m_lstColumn1}, {m_nKind2, &m_lstColumn2}, {m_nKind3, &m_lstColumn3}, {m_nKind4, &m_lstColumn4}}};
  for (size_t c = 0; c < columns.size(); ++c) {
    columns[c].kind = sources[c].first;
    columns[c].checkedTexts = CheckedTexts(*sources[c].second);
  }
  const std::array<ColumnLink, 3> links = {LinkFromValue(m_nLink2), LinkFromValue(m_nLink3), LinkFromValue(m_nLink4)};

  MatchResult match = BuildCandidates(m_snapshot.Records(), columns, links);
  if (match.refusal != MatchRefusal::None) {
    MessageBox(RefusalText(match.refusal), kMessageCaption, kRefusalType);
    return;
  }
  FillResult fill = FillTime(std::move(match.candidates), totalSeconds, m_bAllowDuplicates != 0, random,
                             [this] { return MessageBox(kTooShortQuestion, kMessageCaption, kQuestionType) == IDOK; });
  if (fill.cancelled) return;
  HandOffPlaylist(m_host, fill.picks, m_bStartPlaying != 0);
  winui::Dialog::OnOK();
}
