// Large libraries served by the stand-in player to the real gen_tunyra.dll in this
// 32-bit process. scripts/bench-wine.sh runs the timing run over 100 000 items (a
// benchmark: it prints figures against the targets and fails on nothing but a broken
// run); scripts/stress-wine.sh and the test suite run the million-item run.
//   TUNYRA_ITEMS   items of the timing run (default 100000)
//   TUNYRA_STRESS_ITEMS   items of the stress run (default 1000000)

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "resources/resource.h"
#include "tests/hostile/large_library.h"
#include "tests/hostile/process_resources.h"
#include "tests/support/dialog_test_support.h"
#include "tests/support/test_thread.h"

namespace hostile {
namespace {

using standin::StandinHostThread;

constexpr DWORD kLongWaitMs = 10 * 60 * 1000;
constexpr int kListIds[] = {IDC_LIST1, IDC_LIST2, IDC_LIST3, IDC_LIST4};
constexpr int kAllIds[] = {IDC_ALL1, IDC_ALL2, IDC_ALL3, IDC_ALL4};
constexpr int kNoneIds[] = {IDC_NONE1, IDC_NONE2, IDC_NONE3, IDC_NONE4};

int ItemsFromEnvironment(const char* name, int fallback) {
  const char* value = std::getenv(name);
  const int items = value ? std::atoi(value) : 0;
  return items > 0 ? items : fallback;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return t;
}

// The most memory committed at any moment while it runs, sampled on a thread of its own.
class PeakSampler {
 public:
  PeakSampler() : m_thread([this] {
      while (!m_stop) {
        const ProcessResources r = MeasureProcessMemory();
        if (r.committed > m_peakCommitted) m_peakCommitted = r.committed;
        ::Sleep(20);
      }
    }) {}
  ~PeakSampler() {
    m_stop = true;
    m_thread.Join();
  }
  std::uint64_t PeakCommitted() const { return m_peakCommitted; }

 private:
  static ProcessResources MeasureProcessMemory() {
    ProcessResources r;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; ::VirtualQuery(at, &region, sizeof region) == sizeof region;) {
      if (region.State == MEM_COMMIT) r.committed += region.RegionSize;
      const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
      if (next <= at) break;
      at = next;
    }
    return r;
  }

  std::atomic<bool> m_stop{false};
  std::atomic<std::uint64_t> m_peakCommitted{0};
  test_support::TestThread m_thread;
};

class LargeLibraryRun : public dialog_test::SelectSongsTest {
 protected:
  void SetUp() override {}

  // The host starts empty and is then given the library, so that the only full copy
  // besides the host's is the generated one, dropped before the dialog opens.
  void StartWith(int items) {
    StartHost({});
    GiveLibrary(items);
  }
  void GiveLibrary(int items) {
    LargeLibrary library(items);
    m_artists = library.Artists();
    m_host->Run([&] { m_host->Host().SetLibrary(library.List()); });
    library.Drop();
  }

  // From the hotkey to the dialog shown with its four lists filled and its loop idle.
  double OpenTimed() {
    const LARGE_INTEGER start = Now();
    m_host->PostHotkeyMessage();
    m_dialog = m_host->WaitForWindow(dialog_test::kDialogCaption, kLongWaitMs, "#32770");
    if (!m_dialog) return -1;
    StandinHostThread::WaitFor([&] { return ::IsWindowVisible(m_dialog) != FALSE; }, kLongWaitMs);
    Settle();
    return Seconds(start, Now());
  }

  int Count(int list) const { return static_cast<int>(::SendMessageA(Item(list), LB_GETCOUNT, 0, 0)); }

  int m_artists = 0;
};

void Report(const char* what, double seconds, double target) {
  std::printf("  %-44s %8.3f s   (target %.1f s: %s)\n", what, seconds, target,
              seconds < 0 ? "FAILED" : seconds <= target ? "met" : "MISSED");
}

// The performance goals, printed as the native benchmark prints its own.
void Goal(const char* what, double value, const char* unit, const char* target, bool pass) {
  std::printf("  %-44s %8.3f %-3s %-30s %s\n", what, value, unit, target, pass ? "PASS" : "MISS");
}

TEST_F(LargeLibraryRun, TimingRun) {
  const int items = ItemsFromEnvironment("TUNYRA_ITEMS", 100000);
  StartWith(items);
  const double ready = OpenTimed();
  ASSERT_GT(ready, 0) << "the dialog did not open";
  int counts[4];
  for (int c = 0; c < 4; ++c) counts[c] = Count(kListIds[c]);
  int longest = 0;
  for (int c = 0; c < 4; ++c)
    if (Count(kListIds[c]) > Count(kListIds[longest])) longest = c;

  LARGE_INTEGER start = Now();
  Click(kAllIds[longest]);
  Settle();  // and painted
  const double all = Seconds(start, Now());
  Click(kNoneIds[longest]);

  Click(IDC_ALL1);  // every artist
  Settle();
  start = Now();
  PostClick(IDOK);
  ASSERT_TRUE(m_host->WaitForWindowGone(m_dialog, kLongWaitMs));
  const double find = Seconds(start, Now());
  const standin::Playlist playlist = m_host->PlaylistSnapshot();

  std::printf("Timing of the real DLL in the stand-in player under Wine, %d items (lists of %d, %d, %d and %d "
              "values)\n",
              items, counts[0], counts[1], counts[2], counts[3]);
  Report("hotkey to dialog ready, four lists filled", ready, 2.0);
  if (items == 100000) Goal("hotkey to dialog ready, 100k items", ready, "s", "< 0.3 s", ready > 0 && ready < 0.3);
  Report("\"All\" on the longest list", all, 0.5);
  Report("\"Find Songs\", every artist checked", find, 1.0);
  std::printf("  playlist: %zu songs, %lld s\n", playlist.Size(), static_cast<long long>(playlist.TotalSeconds()));
  std::printf("  %s\n", Describe(MeasureProcess()).c_str());
  EXPECT_GT(playlist.Size(), 0u);
}

TEST_F(LargeLibraryRun, MillionItemsStayInsideTheAddressSpace) {
  const int items = ItemsFromEnvironment("TUNYRA_STRESS_ITEMS", 1000000);
  PeakSampler sampler;
  // A tenth of the library first, in the same process, so the growth of the opening
  // time is measured under the same conditions.
  StartWith(items / 10);
  const double tenthReady = OpenTimed();
  ASSERT_GT(tenthReady, 0) << "the dialog did not open over a tenth of the items";
  PostClick(IDCANCEL);
  ASSERT_TRUE(m_host->WaitForWindowGone(m_dialog, kLongWaitMs));
  GiveLibrary(items);
  const ProcessResources loaded = MeasureProcess();
  const double ready = OpenTimed();
  ASSERT_GT(ready, 0) << "the dialog did not open";
  const ProcessResources open = MeasureProcess();
  EXPECT_EQ(Count(IDC_LIST1), m_artists);
  EXPECT_EQ(Count(IDC_LIST2), items) << "every title is distinct";

  Click(IDC_ALL1);
  Settle();
  const LARGE_INTEGER start = Now();
  PostClick(IDOK);
  ASSERT_TRUE(m_host->WaitForWindowGone(m_dialog, kLongWaitMs)) << "Find Songs did not close the dialog";
  const double find = Seconds(start, Now());
  const standin::Playlist playlist = m_host->PlaylistSnapshot();
  EXPECT_GT(playlist.Size(), 0u);
  EXPECT_GE(playlist.TotalSeconds(), 60 * 60);
  const ProcessResources after = MeasureProcess();

  const std::uint64_t space = AddressSpaceSize();
  std::printf("%d items in the 32-bit process (address space %.0f MB)\n", items, space / 1048576.0);
  std::printf("  library with the host:  %s\n", Describe(loaded).c_str());
  std::printf("  dialog open (%.1f s):    %s\n", ready, Describe(open).c_str());
  std::printf("  after Find Songs (%.1f s, %zu songs): %s\n", find, playlist.Size(), Describe(after).c_str());
  std::printf("  peak committed %.1f MB = %.0f%% of the address space\n", sampler.PeakCommitted() / 1048576.0,
              100.0 * static_cast<double>(sampler.PeakCommitted()) / static_cast<double>(space));
  std::printf("  dialog ready over %d items: %.3f s; over %d: %.3f s\n", items / 10, tenthReady, items, ready);
  if (items == 1000000) {
    Goal("hotkey to dialog ready, 1M items", ready, "s", "< 3 s", ready < 3.0);
    Goal("  against 100k in the same run", ready / tenthReady, "x", "<= 11x (linear)", ready <= 11 * tenthReady);
  }
  EXPECT_LT(sampler.PeakCommitted(), space * 3 / 4) << "too close to the end of the address space";
}

}  // namespace
}  // namespace hostile
