#pragma once
// What the plug-in asks of the host player, as operations. The Windows build sends
// them as window messages (plugin/host_interface); tests use fakes that record calls.

#include "host/host_records.h"

class HostOperations {
 public:
  virtual ~HostOperations() = default;

  // Finds the Media Library and runs the query on it. False when the host has no
  // Media Library window (the query is then left untouched: an empty library).
  virtual bool RunLibraryQuery(LibraryQuery& query) = 0;
  // Hands a query's result back to the Media Library.
  virtual void FreeLibraryResult(LibraryQuery& query) = 0;

  virtual void ClearPlaylist() = 0;
  virtual void Enqueue(const EnqueueRecord& record) = 0;
  virtual void StartPlayback() = 0;
};
