#include "standin/media_library_server.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "library/item_records.h"

using namespace tunyra;

namespace standin {

namespace {

constexpr std::size_t kHugeLength = 64 * 1024;
constexpr int kHugeItemsAtMost = 16;

void ReplaceText(char*& field, const char* text) {
  std::free(field);
  field = text != nullptr ? strdup(text) : nullptr;
}

std::string HugeText(const char* start) {
  std::string text = start;
  text.resize(kHugeLength, 'x');
  return text;
}

}  // namespace

MediaLibraryServer::~MediaLibraryServer() {
  for (auto& [items, count] : m_outstanding) {
    for (int i = 0; i < count; ++i) ReleaseItemRecord(items[i]);
    std::free(items);
  }
  ReleaseItemRecordList(m_library);
}

void MediaLibraryServer::SetLibrary(const ItemRecordList& records) {
  ReleaseItemRecordList(m_library);
  AppendItemRecords(m_library, records);
}

int MediaLibraryServer::RunQuery(LibraryQuery& query) {
  query.results = ItemRecordList{nullptr, 0, 0};
  if (query.query == nullptr || std::strcmp(query.query, host_msg::kLibraryQueryText) != 0)
    return 0;
  int count = m_library.items != nullptr && m_library.size > 0 ? m_library.size : 0;
  if (query.maxResults > 0 && query.maxResults < count) count = query.maxResults;
  if (count == 0) return 0;
  auto* items = static_cast<ItemRecord*>(std::calloc(count, sizeof(ItemRecord)));
  if (items == nullptr) return 0;
  for (int i = 0; i < count; ++i) {
    DuplicateItemRecord(items[i], m_library.items[i]);
    MakeHostile(items[i], i, m_hostile);
  }
  query.results = ItemRecordList{items, count, count};
  if (m_hostile.oversizedResult) query.results.size = query.results.alloc = kOversizedCount;
  m_outstanding[items] = count;
  ++m_served;
  return count;
}

bool MediaLibraryServer::FreeResult(LibraryQuery& query) {
  auto found = m_outstanding.find(query.results.items);
  if (query.results.items == nullptr || found == m_outstanding.end()) {
    ++m_badFrees;
    return false;
  }
  // Our own count, not the caller's size: the caller may have changed it.
  for (int i = 0; i < found->second; ++i) ReleaseItemRecord(found->first[i]);
  std::free(found->first);
  m_outstanding.erase(found);
  ++m_freed;
  query.results = ItemRecordList{nullptr, 0, 0};
  return true;
}

void MakeHostile(ItemRecord& record, int index, const HostileOptions& hostile) {
  if (hostile.hugeStrings && index % 4 == 1 && index / 4 < kHugeItemsAtMost) {
    ReplaceText(record.title, HugeText("Huge title ").c_str());
    ReplaceText(record.artist, HugeText("Huge artist ").c_str());
  }
  if (hostile.nullFields) {
    if (index % 3 == 0) {
      ReplaceText(record.title, nullptr);
      ReplaceText(record.album, nullptr);
      ReplaceText(record.artist, nullptr);
      ReplaceText(record.genre, nullptr);
      ReplaceText(record.comment, nullptr);
    }
    if (index % 5 == 0) ReplaceText(record.filename, nullptr);
  }
  if (hostile.badLengths && index % 2 == 1) {
    static constexpr int kBad[] = {-1, 0, INT_MIN, -3600};
    record.length = kBad[(index / 2) % 4];
  }
}

}  // namespace standin
