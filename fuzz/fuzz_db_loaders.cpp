// Feeds arbitrary file contents to every database loader. The first byte picks the file
// kind; for slot pairs the next two bytes give the length of the slot part and the rest is
// the heap. Damaged content must be dropped (or freed) quietly: only a real file error may
// reach FatalStop, and none can happen here, so any exit is a finding.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "store/byte_reader.h"
#include "store/heap_file.h"
#include "store/installation_id.h"
#include "store/record_file.h"
#include "store/relocatable_blob.h"
#include "store/slot_file.h"
#include "store/slot_loader.h"

namespace {

using namespace pelrion::store;

const std::string& TempFolder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pelrion-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

void Write(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t Word(std::string_view entry, std::size_t offset) {
  return U32At(entry, offset).value_or(0);
}

SlotLayout Layout(std::size_t entry_size, bool free_by_size) {
  SlotLayout layout;
  layout.entry_size = entry_size;
  if (free_by_size) {
    layout.is_free = [](std::string_view e) { return Word(e, 4) == 0; };
    layout.item_of = [](std::string_view e) { return HeapItem{Word(e, 8), Word(e, 4)}; };
  } else {
    layout.is_free = [](std::string_view e) { return Word(e, 0) == 0; };
    layout.item_of = [](std::string_view e) { return HeapItem{Word(e, 4), Word(e, 8)}; };
  }
  layout.id_of = [](std::string_view e) { return Word(e, 0); };
  return layout;
}

// Walks a loaded blob's references the way an owner would, bounded by the blob.
bool TouchBlob(const ScannedSlot& slot) {
  BlobView view(slot.blob);
  std::size_t total = 0;
  for (std::size_t ref = 4; ref < 64; ref += 4) {
    if (auto text = view.StringRef(ref)) total += text->size();
  }
  if (auto count = view.Word(8)) {
    if (auto array = view.WordArray(view.Word(16).value_or(0), *count)) total += array->size();
  }
  return view.SizeMatches() || total % 2 == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string& dir = TempFolder();
  const std::string slots_path = dir + "/slots.dat";
  const std::string heap_path = dir + "/heap.dat";
  const unsigned kind = static_cast<unsigned char>(input[0]) % 6;
  std::string_view body = input.substr(1);

  switch (kind) {
    case 0:
    case 1: {  // message pair / contact pair
      std::size_t split = 0;
      if (body.size() >= 2) {
        split = static_cast<unsigned char>(body[0]) | (static_cast<unsigned char>(body[1]) << 8);
        body.remove_prefix(2);
      }
      if (split > body.size()) split = body.size();
      Write(slots_path, body.substr(0, split));
      Write(heap_path, body.substr(split));
      const bool messages = kind == 0;
      SlotFile slots(slots_path, messages ? 36 : 16);
      HeapFile heap(heap_path, messages ? HeapHeader::kIdAndDigest : HeapHeader::kDigest);
      LoadSlotFile(slots, &heap, Layout(slots.entry_size(), !messages), TouchBlob);
      // The freed slots are gone at the next load.
      if (LoadSlotFile(slots, &heap, Layout(slots.entry_size(), !messages), TouchBlob).freed != 0) {
        std::abort();
      }
      break;
    }
    case 2: {  // digest slots, no heap
      Write(slots_path, body);
      SlotFile slots(slots_path, 20);
      LoadSlotFile(slots, nullptr, Layout(20, false), nullptr);
      break;
    }
    case 3:
    case 4: {  // record files: accounts (two layouts) and listeners
      Write(slots_path, body);
      RecordRules rules;
      if (kind == 3) {
        rules.record_size = [](std::uint8_t v) -> std::size_t { return v == 1 ? 1948 : 1428; };
      } else {
        rules.record_size = [](std::uint8_t) -> std::size_t { return 276; };
      }
      LoadedRecords loaded = LoadRecordFile(slots_path, rules);
      for (std::size_t i = 1; i < loaded.records.size(); ++i) {
        if (Word(loaded.records[i - 1], 0) >= Word(loaded.records[i], 0)) std::abort();
      }
      break;
    }
    case 5: {  // identity
      Write(slots_path, body);
      const std::string id = LoadInstallationId(slots_path);
      if (id.size() > 12) std::abort();
      break;
    }
  }
  return 0;
}
