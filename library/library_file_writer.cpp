#include "library/library_file_writer.h"

#include <cstring>

namespace tunyra {

const char* const kLibraryFileHeader =
    "filename\ttitle\talbum\tartist\tcomment\tgenre\tyear\ttrack\tlength\textended";

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

std::string FormatLibraryFile(const ItemRecordList& records) {
  std::string out = kLibraryFileHeader;
  out += '\n';
  int count = (records.items != nullptr && records.size > 0) ? records.size : 0;
  for (int i = 0; i < count; ++i) AppendLibraryLine(out, records.items[i]);
  return out;
}

void AppendLibraryLine(std::string& out, const ItemRecord& r) {
  for (const char* field : {r.filename, r.title, r.album, r.artist, r.comment, r.genre}) {
    AppendText(out, field);
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
