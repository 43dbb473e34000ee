// The order of values in the system's ANSI code page against msvcrt's own _mbscmp (found
// at run time, not the compiler runtime's): the real DLL's columns, and our order and
// sets over random strings of the code page's single, lead and trail bytes.

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "dialog/ansi_value_order.h"
#include "library/sorted_name_set.h"
#include "resources/resource.h"
#include "tests/support/dialog_test_support.h"

namespace dialog_test {
namespace {

// Wine's msvcrt reads past two strings that end in the same lead byte: a second NUL
// keeps that read inside them.
int PlatformCompare(const std::string& a, const std::string& b) {
  using MbsCmp = int(__cdecl*)(const unsigned char*, const unsigned char*);
  static const auto mbscmp = reinterpret_cast<MbsCmp>(
      reinterpret_cast<void (*)()>(::GetProcAddress(::LoadLibraryA("msvcrt.dll"), "_mbscmp")));
  const std::string x = a + '\0', y = b + '\0';
  const int c =
      mbscmp(reinterpret_cast<const unsigned char*>(x.c_str()), reinterpret_cast<const unsigned char*>(y.c_str()));
  return (c > 0) - (c < 0);
}

// A run in another code page would compare byte order with byte order.
void ExpectCodePageOfRun() {
  const char* page = std::getenv("TUNYRA_CODEPAGE");
  ASSERT_TRUE(page && ::GetACP() == std::strtoul(page, nullptr, 10))
      << "no locale for code page " << (page ? page : "?");
}

class CodePageColumns : public SelectSongsTest {
 protected:
  void SetUp() override {}
};

// Valid in 932 and 936 alike, so that the list boxes keep them; in 932 B1 D9 (the
// artist "ｱﾙ") and CA DE are two half-width katakana each, below every double-byte
// character ("あ" is 82 A0).
const char* const kMixed[] = {"Abc", "\x82\xA0", "\xB1\xD9", "\x88\x9F", "\xE0\x40", "Z", "a", "\xCA\xDE",
                              "A\x82\xA0", "\x82\xA0" "A", "\x83\x41", "\xB1\xD9\xB1\xD9"};

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
  std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return PlatformCompare(a, b) < 0; });
  for (const int list : {IDC_LIST1, IDC_LIST2, IDC_LIST3, IDC_LIST4}) EXPECT_EQ(ListTexts(list), expected) << list;
}

TEST(CodePageOrder, AgreesWithThePlatformMbscmp) {
  ExpectCodePageOfRun();
  const tunyra::ValueOrder& order = tunyra::AnsiValueOrder();
  std::vector<char> singles, leads;
  for (int b = 1; b < 256; ++b) (order.IsLeadByte(static_cast<unsigned char>(b)) ? leads : singles).push_back(char(b));
  EXPECT_EQ(leads.empty(), ::GetACP() == 1252);
  std::mt19937 random(932);
  auto pick = [&](const std::vector<char>& from) { return from[random() % from.size()]; };
  // Single bytes, lead bytes with a trail (or any byte) after them, a lead byte at the
  // end; often after a prefix of another string, cut anywhere.
  auto grow = [&](std::string s) {
    for (unsigned k = random() % 5; k > 0; --k) {
      const unsigned kind = random() % 8;
      if (leads.empty() || kind < 3) {
        s += pick(singles);
        continue;
      }
      s += pick(leads);
      s += kind == 7 ? char(1 + random() % 255) : char(0x40 + random() % 0xBD);
    }
    if (!leads.empty() && random() % 4 == 0) s += pick(leads);
    return s;
  };
  std::vector<std::string> values;
  int againstBytes = 0, failures = 0;
  for (int round = 0; round < 30000 && failures < 20; ++round) {
    const std::string a = grow("");
    const std::string b = grow(random() % 4 == 0 ? "" : a.substr(0, random() % (a.size() + 1)));
    const int ours = order.Compare(a, b);
    againstBytes += ours != (a < b ? -1 : a > b);
    if (ours != PlatformCompare(a, b) || (ours == 0) != (a == b))
      ADD_FAILURE() << ++failures << ": " << testing::PrintToString(a) << " against " << testing::PrintToString(b);
    values.push_back(a);
    values.push_back(b);
  }
  EXPECT_EQ(againstBytes > 0, !leads.empty());
  // The sets sort thousands of values by keys, after the bytes all of them share (here
  // up to a lead byte, whose trail each value brings).
  for (const std::string shared : {"", "Shared \x82\xA0\x82"}) {
    std::vector<std::string> prefixed;
    for (const std::string& v : values) prefixed.push_back(shared + v);
    tunyra::CSortedNameSet set(order);
    set.AssignFrom(prefixed);
    for (int k = 1; k < set.GetSize(); ++k)
      ASSERT_LT(PlatformCompare(std::string(set.GetAt(k - 1)), std::string(set.GetAt(k))), 0) << shared << k;
  }
}

}  // namespace
}  // namespace dialog_test
