#include "library/library_file_writer.h"

#include <array>
#include <cstring>
#include <string_view>

#include "library/text_fields.h"

namespace tunyra {

namespace {

// The header's bytes, its NUL included: the fields' names with a tab between them.
constexpr size_t HeaderSize() {
  size_t size = 0;
  for (int i = 0; i < kLibraryFieldCount; ++i) size += std::string_view(LibraryFieldName(i)).size() + 1;
  return size;
}

constexpr std::array<char, HeaderSize()> kHeader = [] {
  std::array<char, HeaderSize()> header{};
  size_t at = 0;
  for (int i = 0; i < kLibraryFieldCount; ++i) {
    for (char c : std::string_view(LibraryFieldName(i))) header[at++] = c;
    header[at++] = i + 1 < kLibraryFieldCount ? '\t' : '\0';
  }
  return header;
}();

}  // namespace

constinit const char* const kLibraryFileHeader = kHeader.data();

namespace {

void AppendEscaped(std::string& out, const char* text, bool inExtended) {
  for (const char* p = text; *p != '\0'; ++p) {
    switch (*p) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      case ';':
        if (inExtended) out += "\\;";
        else out += ';';
        break;
      case '=':
        if (inExtended) out += "\\=";
        else out += '=';
        break;
      default: out += *p;
    }
  }
}

void AppendText(std::string& out, const char* text) {
  if (text == nullptr)
    out += "\\N";
  else
    AppendEscaped(out, text, false);
}

}  // namespace

std::string EscapedField(const char* text) {
  std::string out;
  AppendEscaped(out, text, false);
  return out;
}

void AppendLibraryLine(std::string& out, const ItemRecord& r) {
  for (const TextField& field : kTextFields) {
    AppendText(out, r.*field.member);
    out += '\t';
  }
  for (int number : {r.year, r.track, r.length}) {
    out += std::to_string(number);
    out += '\t';
  }
  if (r.extendedInfo != nullptr) {
    for (char** entry = r.extendedInfo; *entry != nullptr; ++entry) {
      if (entry != r.extendedInfo) out += ';';
      AppendEscaped(out, *entry, true);
      out += '=';
      AppendEscaped(out, *entry + std::strlen(*entry) + 1, true);
    }
  }
  out += '\n';
}

}  // namespace tunyra
