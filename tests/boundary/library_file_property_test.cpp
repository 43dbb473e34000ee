// Records of random bytes, written as a library file and read back.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "library/item_records.h"
#include "library/library_file.h"
#include "library/text_fields.h"
#include "tests/support/random_bytes.h"
#include "tests/support/library_text.h"
#include "tests/support/record_text.h"

using namespace tunyra;

namespace {

// Null now and then; otherwise a malloc'd text of any bytes but NUL, as the host holds.
char* RandomText(RandomBytes& random) {
  if (random.Below(6) == 0) return nullptr;
  const std::string text = random.Text(9, std::string_view("\0", 1));
  return static_cast<char*>(std::memcpy(std::malloc(text.size() + 1), text.c_str(), text.size() + 1));
}

std::int32_t RandomNumber(RandomBytes& random) {
  const std::int32_t edges[] = {0, -1, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
  return random.Below(3) == 0 ? edges[random.Below(4)] : static_cast<std::int32_t>(random.Below(0xFFFFFFFFu));
}

// "" when the two records hold the same texts, numbers and extended entries.
std::string Difference(const ItemRecord& a, const ItemRecord& b) {
  for (const TextField& field : kTextFields) {
    const char* x = a.*field.member;
    const char* y = b.*field.member;
    if ((x == nullptr) != (y == nullptr) || (x != nullptr && std::strcmp(x, y) != 0)) return field.name;
  }
  if (a.year != b.year || a.track != b.track || a.length != b.length) return "a number";
  if (ExtendedOf(a) != ExtendedOf(b)) return "the extended entries";
  return "";
}

TEST(LibraryFileWriter, RandomRecordsReadBackEqual) {
  RandomBytes random(1207);
  constexpr int kCount = 5000;
  ItemRecordList written{nullptr, 0, 0};
  ReserveItemRecords(written, kCount, 0);
  ASSERT_EQ(written.alloc, kCount);
  for (int i = 0; i < kCount; ++i) {
    ItemRecord& r = written.items[i];
    r = ItemRecord{};
    for (const TextField& field : kTextFields) r.*field.member = RandomText(random);
    r.year = RandomNumber(random);
    r.track = RandomNumber(random);
    r.length = RandomNumber(random);
    for (std::uint32_t entries = random.Below(4); entries > 0; --entries) {
      const std::string name = random.Text(5, std::string_view("\0", 1));
      PutExtendedInfo(r, name.c_str(), random.Text(6, std::string_view("\0", 1)).c_str());
    }
    written.size = i + 1;
  }

  const std::string text = FormatLibraryFile(written);
  LibraryFile read;
  std::string error;
  ASSERT_TRUE(read.Parse(text, "random.tsv", error)) << error;
  ASSERT_EQ(read.Records().size, kCount);
  for (int i = 0; i < kCount; ++i) {
    const std::string difference = Difference(written.items[i], read.Records().items[i]);
    ASSERT_EQ(difference, "") << "record " << i << " written " << DescribeRecord(written.items[i]) << " read "
                              << DescribeRecord(read.Records().items[i]);
  }
  ReleaseItemRecordList(written);
}

}  // namespace
