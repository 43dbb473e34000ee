// The order of values in the system's ANSI code page against the platform's own
// _mbscmp (msvcrt's, found at run time, not the compiler's runtime's): the dialog in the
// real DLL lists its columns in that order, and our order agrees with it over random
// strings of the code page's single, lead and trail bytes.

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "dialog/ansi_value_order.h"
#include "resources/resource.h"
#include "tests/support/dialog_test_support.h"

namespace dialog_test {
namespace {

using MbsCmp = int(__cdecl*)(const unsigned char*, const unsigned char*);

MbsCmp PlatformMbsCmp() {
  // Through void (*)() : FARPROC has another signature.
  static const auto compare = reinterpret_cast<MbsCmp>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::LoadLibraryA("msvcrt.dll"), "_mbscmp")));
  return compare;
}

// Wine's msvcrt reads past the end of two strings that end in the same lead byte:
// a second NUL keeps that read inside the string and equal.
int PlatformCompare(const std::string& a, const std::string& b) {
  const std::string x = a + '\0', y = b + '\0';
  const int c = PlatformMbsCmp()(reinterpret_cast<const unsigned char*>(x.c_str()),
                                 reinterpret_cast<const unsigned char*>(y.c_str()));
  return (c > 0) - (c < 0);
}

// A run in the wrong code page would compare byte order with byte order.
void ExpectCodePageOfRun() {
  const char* expected = std::getenv("TUNYRA_CODEPAGE");
  if (expected) {
    ASSERT_EQ(::GetACP(), std::strtoul(expected, nullptr, 10)) << "no locale for this code page?";
  }
  ASSERT_NE(PlatformMbsCmp(), nullptr);
}

class CodePageColumns : public SelectSongsTest {
 protected:
  void SetUp() override {}
};

// Valid characters in 932 and 936 alike, so that the list boxes keep them: in 932 B1 D9
// and CA DE are two half-width katakana each, below every double-byte character.
const char* const kMixed[] = {"Abc",   "\x82\xA0", "\xB1\xD9", "\x88\x9F",         "\xE0\x40", "Z",
                              "a",     "\xCA\xDE", "A\x82\xA0", "\x82\xA0" "A", "\x83\x41", "\xB1\xD9\xB1\xD9"};

TEST_F(CodePageColumns, ListTheirValuesAsThePlatformOrdersThem) {
  ExpectCodePageOfRun();
  std::vector<Song> songs;
  const size_t n = std::size(kMixed);
  for (size_t i = 0; i < n; ++i)
    songs.push_back({"C:\\m\\" + std::to_string(i) + ".mp3", kMixed[(i + 1) % n], kMixed[(i + 2) % n], kMixed[i],
                     kMixed[(i + 3) % n], 200});
  StartHost(songs);
  ASSERT_TRUE(OpenDialog());
  std::vector<std::string> expected(std::begin(kMixed), std::end(kMixed));
  std::sort(expected.begin(), expected.end(),
            [](const std::string& a, const std::string& b) { return PlatformCompare(a, b) < 0; });
  for (const int list : {IDC_LIST1, IDC_LIST2, IDC_LIST3, IDC_LIST4}) {
    SCOPED_TRACE("list " + std::to_string(list));
    EXPECT_EQ(ListTexts(list), expected);
  }
  if (::GetACP() == 932) {
    const std::vector<std::string> artists = ListTexts(IDC_LIST1);
    const auto at = [&](const char* v) { return std::find(artists.begin(), artists.end(), v) - artists.begin(); };
    EXPECT_LT(at("Abc"), at("\xB1\xD9"));
    EXPECT_LT(at("\xB1\xD9"), at("\x82\xA0"));
  }
}

// Strings of single bytes, lead bytes with a trail (or with any byte after them), and a
// lead byte at the end; the second of each pair often shares a prefix with the first,
// cut anywhere, even between a lead byte and its trail.
TEST(CodePageOrder, AgreesWithThePlatformMbscmp) {
  ExpectCodePageOfRun();
  const tunyra::ValueOrder& order = tunyra::AnsiValueOrder();
  std::vector<unsigned char> singles, leads;
  for (int b = 1; b < 256; ++b) (order.IsLeadByte(static_cast<unsigned char>(b)) ? leads : singles).push_back(b);
  EXPECT_EQ(leads.empty(), ::GetACP() == 1252);
  std::mt19937 random(932);
  auto pick = [&](const std::vector<unsigned char>& from) { return char(from[random() % from.size()]); };
  auto character = [&](std::string& s) {
    const unsigned kind = random() % 8;
    if (leads.empty() || kind < 3) {
      s += pick(singles);
    } else {
      s += pick(leads);
      s += kind == 7 ? char(1 + random() % 255) : char(0x40 + random() % 0xBD);
    }
  };
  auto tail = [&](std::string s) {
    for (unsigned k = random() % 5; k > 0; --k) character(s);
    if (!leads.empty() && random() % 4 == 0) s += pick(leads);
    return s;
  };
  int againstBytes = 0, failures = 0;
  for (int round = 0; round < 30000; ++round) {
    const std::string a = tail("");
    const std::string b = random() % 4 == 0 ? tail("") : tail(a.substr(0, random() % (a.size() + 1)));
    const int ours = order.Compare(a, b);
    const int platform = PlatformCompare(a, b);
    againstBytes += ours != (a < b ? -1 : a > b ? 1 : 0);
    if (ours != platform || (ours == 0) != (a == b)) {
      std::string hex;
      for (const std::string* s : {&a, &b}) {
        for (const unsigned char c : *s) hex += "0123456789ABCDEF"[c >> 4], hex += "0123456789ABCDEF"[c & 15], hex += ' ';
        hex += "| ";
      }
      ADD_FAILURE() << hex << "ours " << ours << ", msvcrt " << platform;
      if (++failures == 20) break;
    }
  }
  // In a double-byte code page some of the pairs must go against byte order.
  EXPECT_EQ(againstBytes > 0, !leads.empty());
}

}  // namespace
}  // namespace dialog_test
