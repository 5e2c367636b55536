// What the message list learns from the message store: a message joined or left a folder,
// or changed in place (read flag, request fields). The list shows only its current
// folder; the store calls these for every folder. All calls come on the main thread.
#pragma once

#include "store/message_record.h"

namespace pelrion::store {

class FoldersView {
 public:
  virtual ~FoldersView() = default;

  virtual void MessageLinked(MessageRecord& record, Folder folder) = 0;
  virtual void MessageUnlinked(MessageRecord& record, Folder folder) = 0;
  virtual void MessageChanged(MessageRecord& record) = 0;
};

// No message list: the program without a main window, the tools and the benchmarks.
class NoFoldersView : public FoldersView {
 public:
  void MessageLinked(MessageRecord&, Folder) override {}
  void MessageUnlinked(MessageRecord&, Folder) override {}
  void MessageChanged(MessageRecord&) override {}
};

}  // namespace pelrion::store
