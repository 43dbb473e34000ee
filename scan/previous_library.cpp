#include "scan/previous_library.h"

#include <sys/stat.h>

#include <cerrno>

#include "library/printable_path.h"
#include "scan/library_scan.h"

namespace tunyra {

PreviousLibrary LoadPreviousLibrary(const std::string& path, LibraryFile& library, std::string& why) {
  library = LibraryFile();
  struct stat st;
  if (stat(path.c_str(), &st) != 0 ? errno == ENOENT : S_ISREG(st.st_mode) && st.st_size == 0)
    return PreviousLibrary::Nothing;
  if (!library.ReadFile(path, why)) return PreviousLibrary::Other;
  const ItemRecordList& list = library.Records();
  for (int i = 0; i < list.size; ++i) {
    if (!HasFileStamp(list.items[i])) {
      why = PrintablePath(path) + ":" + std::to_string(i + 2) + ": the line has no " + kFileSizeName + " and " +
            kFileTimeName + ", so no scan wrote this library";
      library = LibraryFile();
      return PreviousLibrary::Other;
    }
  }
  return list.size > 0 ? PreviousLibrary::Scanned : PreviousLibrary::Nothing;
}

}  // namespace tunyra
