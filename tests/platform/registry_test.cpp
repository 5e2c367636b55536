#include "platform/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "support/files.h"
#include "support/temp_dir.h"

namespace pelrion::platform {
namespace {

using test_support::ReadFile;
using test_support::TempDir;
using test_support::WriteFile;

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  return bytes;
}

// ---- behaviour shared by both registries ---------------------------------------------

TEST(MemoryRegistryTest, TypedValuesAndCaseInsensitiveKeys) {
  MemoryRegistry registry;
  ASSERT_TRUE(registry.SetString("Software\\Pelrion", "Db", "/data/Db/"));
  ASSERT_TRUE(registry.SetNumber("Software\\Pelrion", "setonce", 1));
  ASSERT_TRUE(registry.SetBinary("Software\\Pelrion", "Main Frame", RegistryBinary(28, 7)));

  EXPECT_EQ(registry.GetString("SOFTWARE\\pelrion", "Db"), "/data/Db/");
  EXPECT_EQ(registry.GetString("software\\PELRION", "db"), "/data/Db/");  // value names too
  EXPECT_EQ(registry.GetNumber("Software\\Pelrion", "setonce"), 1u);
  EXPECT_EQ(registry.GetBinary("Software\\Pelrion", "setonce"), (RegistryBinary{1, 0, 0, 0}));
  // A value of the other type, or a binary that is not 4 bytes, is not a number/string.
  EXPECT_EQ(registry.GetNumber("Software\\Pelrion", "Main Frame"), std::nullopt);
  EXPECT_EQ(registry.GetString("Software\\Pelrion", "setonce"), std::nullopt);
  EXPECT_EQ(registry.GetBinary("Software\\Pelrion", "Db"), std::nullopt);
  EXPECT_EQ(registry.GetString("Software\\Pelrion\\Preferences", "Db"), std::nullopt);

  ASSERT_TRUE(registry.SetString("software\\pelrion", "DB", "/other/"));
  EXPECT_EQ(registry.GetString("Software\\Pelrion", "Db"), "/other/");
  ASSERT_TRUE(registry.DeleteValue("Software\\Pelrion", "DB"));
  EXPECT_EQ(registry.Get("Software\\Pelrion", "Db"), std::nullopt);
  EXPECT_TRUE(registry.DeleteValue("Software\\Pelrion", "absent"));
  EXPECT_EQ(registry.GetNumber("Software\\Pelrion", "setonce"), 1u);
}

TEST(MemoryRegistryTest, NamesThatCannotBeStoredAreRefused) {
  MemoryRegistry registry;
  EXPECT_FALSE(registry.SetString("Software\\Pel\nrion", "a", "x"));
  EXPECT_FALSE(registry.SetString("Software\\Pelrion", std::string_view("a\0b", 3), "x"));
  EXPECT_FALSE(registry.SetString("Software\\Pelrion", "a\r", "x"));
}

// ---- the REGEDIT4 file ---------------------------------------------------------------

class FileRegistryTest : public testing::Test {
 protected:
  std::string Path() const { return dir_ / "config/Pelrion/registry.reg"; }
  TempDir dir_;
};

TEST_F(FileRegistryTest, WritesRegedit4Text) {
  FileRegistry registry(Path());
  ASSERT_TRUE(registry.SetString("Software\\Pelrion\\Preferences\\General", "name",
                                 "C:\\path \"quoted\""));
  ASSERT_TRUE(registry.SetNumber("Software\\Pelrion", "setonce", 1));
  ASSERT_TRUE(registry.SetString("Software\\Pelrion", "", "default"));
  EXPECT_EQ(ReadFile(Path()),
            "REGEDIT4\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Pelrion]\n"
            "@=\"default\"\n"
            "\"setonce\"=hex:01,00,00,00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Pelrion\\Preferences\\General]\n"
            "\"name\"=\"C:\\\\path \\\"quoted\\\"\"\n"
            "\n");
}

TEST_F(FileRegistryTest, FileAndFolderArePrivate) {
  FileRegistry registry(Path());
  ASSERT_TRUE(registry.SetString("Software\\Pelrion", "a", "b"));
  struct stat st {};
  ASSERT_EQ(stat(Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir_ / "config/Pelrion").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
}

// Every rewrite is a new file renamed into place: a hard link made before a call still
// shares the file with the registry's path afterwards only when nothing was rewritten.
TEST_F(FileRegistryTest, OnlyAChangedValueRewritesTheFile) {
  FileRegistry registry(Path());
  const std::string probe = Path() + ".probe";
  const auto rewritten_by = [&](const std::function<bool()>& set) {
    std::filesystem::remove(probe);
    EXPECT_EQ(link(Path().c_str(), probe.c_str()), 0);
    EXPECT_TRUE(set());
    struct stat st {};
    EXPECT_EQ(stat(Path().c_str(), &st), 0);
    return st.st_nlink == 1;
  };
  ASSERT_TRUE(registry.SetString("Software\\Pelrion", "Db", "/data/Db/"));
  ASSERT_TRUE(registry.SetNumber("Software\\Pelrion", "setonce", 1));
  EXPECT_FALSE(rewritten_by([&] { return registry.SetString("software\\pelrion", "Db", "/data/Db/"); }));
  EXPECT_FALSE(rewritten_by([&] { return registry.SetNumber("Software\\Pelrion", "setonce", 1); }));
  // The same bytes under the other type, or another value, are a change.
  EXPECT_TRUE(rewritten_by([&] { return registry.SetBinary("Software\\Pelrion", "Db", {'/', 'd'}); }));
  EXPECT_TRUE(rewritten_by([&] { return registry.SetNumber("Software\\Pelrion", "setonce", 2); }));
  EXPECT_EQ(FileRegistry(Path()).GetNumber("Software\\Pelrion", "setonce"), 2u);
}

struct StringCase {
  const char* name;
  std::string value;
};

// Every byte string must come back as it was written, including the bytes REGEDIT4 cannot
// hold between quotes.
const StringCase kStrings[] = {
    {"Empty", ""},
    {"Plain", "Pelrion user"},
    {"Backslashes", "\\\\server\\share\\"},
    {"Quotes", "\"\"a\"\""},
    {"EndsWithBackslash", "C:\\"},
    {"LooksLikeHex", "hex:01,02\\"},
    {"NewLines", "line1\r\nline2\n"},
    {"HighBytes", "Gr\xFC\xDF" "e \xE9t\xE9"},
    {"EmbeddedNul", std::string("a\0b", 3)},
    {"TrailingNul", std::string("ab\0", 3)},
    {"AllBytes", AllBytes()},
};

class FileRegistryStringTest : public FileRegistryTest,
                               public testing::WithParamInterface<StringCase> {};

TEST_P(FileRegistryStringTest, RoundTripsThroughTheFile) {
  {
    FileRegistry registry(Path());
    ASSERT_TRUE(registry.SetString("Software\\Pelrion", "value", GetParam().value));
    ASSERT_TRUE(registry.SetString("Software\\Pelrion", "after", "still here"));
  }
  FileRegistry loaded(Path());
  EXPECT_EQ(loaded.GetString("Software\\Pelrion", "value"), GetParam().value);
  EXPECT_EQ(loaded.GetString("Software\\Pelrion", "after"), "still here");
}

INSTANTIATE_TEST_SUITE_P(Strings, FileRegistryStringTest, testing::ValuesIn(kStrings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileRegistryTest, BinaryValuesAndKeySpellingRoundTrip) {
  const std::string bytes = AllBytes();
  const RegistryBinary all(bytes.begin(), bytes.end());
  {
    FileRegistry registry(Path());
    ASSERT_TRUE(registry.SetBinary("Software\\Pelrion", "blob", all));
    ASSERT_TRUE(registry.SetBinary("Software\\Pelrion", "empty", {}));
    ASSERT_TRUE(registry.SetString("Software\\Pelrion\\Address Lists", "x", "y"));
    ASSERT_TRUE(registry.SetNumber("software\\pelrion", "Offline", 0xA1B2C3D4));
  }
  FileRegistry loaded(Path());
  EXPECT_EQ(loaded.GetBinary("Software\\Pelrion", "blob"), all);
  EXPECT_EQ(loaded.GetBinary("Software\\Pelrion", "empty"), RegistryBinary{});
  EXPECT_EQ(loaded.GetNumber("Software\\Pelrion", "Offline"), 0xA1B2C3D4u);
  EXPECT_EQ(loaded.GetString("SOFTWARE\\PELRION\\ADDRESS LISTS", "x"), "y");
  // The key keeps the spelling it was first written with.
  EXPECT_NE(ReadFile(Path()).find("[HKEY_CURRENT_USER\\Software\\Pelrion\\Address Lists]"),
            std::string::npos);
}

TEST_F(FileRegistryTest, DeletedValuesLeaveTheFile) {
  {
    FileRegistry registry(Path());
    ASSERT_TRUE(registry.SetString("Software\\Pelrion", "a", "1"));
    ASSERT_TRUE(registry.SetString("Software\\Pelrion", "b", "2"));
    ASSERT_TRUE(registry.DeleteValue("Software\\Pelrion", "a"));
  }
  FileRegistry loaded(Path());
  EXPECT_EQ(loaded.Get("Software\\Pelrion", "a"), std::nullopt);
  EXPECT_EQ(loaded.GetString("Software\\Pelrion", "b"), "2");
}

TEST_F(FileRegistryTest, DeletedKeyLeavesTheFileWithItsValuesOnly) {
  {
    FileRegistry registry(Path());
    ASSERT_TRUE(registry.SetString("Software\\Pelrion\\Listeners\\3", "a", "1"));
    ASSERT_TRUE(registry.SetNumber("Software\\Pelrion\\Listeners\\3", "b", 2));
    ASSERT_TRUE(registry.SetString("Software\\Pelrion\\Listeners\\4", "a", "kept"));
    ASSERT_TRUE(registry.DeleteKey("software\\pelrion\\listeners\\3"));
    EXPECT_TRUE(registry.DeleteKey("Software\\Pelrion\\Listeners\\9"));
  }
  FileRegistry loaded(Path());
  EXPECT_EQ(loaded.Get("Software\\Pelrion\\Listeners\\3", "a"), std::nullopt);
  EXPECT_EQ(loaded.Get("Software\\Pelrion\\Listeners\\3", "b"), std::nullopt);
  EXPECT_EQ(loaded.GetString("Software\\Pelrion\\Listeners\\4", "a"), "kept");
  EXPECT_EQ(ReadFile(Path()).find("Listeners\\3]"), std::string::npos);
}

// Hand-edited or foreign files: what parses is kept, every other line is skipped.
TEST_F(FileRegistryTest, LinesThatDoNotParseAreSkipped) {
  std::filesystem::create_directories(dir_ / "config/Pelrion");
  WriteFile(Path(),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Pelrion]\r\n"
            "\"good\"=\"yes\"\r\n"
            "\"unterminated\"=\"no\r\n"
            "\"badhex\"=hex:0g,00\r\n"
            "\"shorthex\"=hex:1,00\r\n"
            "\"badtype\"=hex(7):00\r\n"
            "noquotes=\"no\"\r\n"
            "\"trailing\"=\"x\" junk\r\n"
            "\"dword\"=dword:0000002a\r\n"
            "\"wrapped\"=hex:01,02,\\\r\n"
            "  03,04\r\n"
            "; a comment\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
            "\"foreign\"=\"no\"\r\n"
            "[HKEY_CURRENT_USER\\Software\\Pelrion\\Broken\r\n"
            "\"afterbroken\"=\"no\"\r\n"
            "[HKEY_CURRENT_USER\\Software\\Pelrion\\Preferences]\r\n"
            "\"spaced\" = \"ok\"\r\n"
            "\"cut\"=hex:01,0");
  FileRegistry registry(Path());
  EXPECT_EQ(registry.GetString("Software\\Pelrion", "good"), "yes");
  EXPECT_EQ(registry.GetNumber("Software\\Pelrion", "dword"), 42u);
  EXPECT_EQ(registry.GetBinary("Software\\Pelrion", "wrapped"), (RegistryBinary{1, 2, 3, 4}));
  EXPECT_EQ(registry.GetString("Software\\Pelrion\\Preferences", "spaced"), "ok");
  for (const char* name : {"unterminated", "badhex", "shorthex", "badtype", "trailing"}) {
    EXPECT_EQ(registry.Get("Software\\Pelrion", name), std::nullopt) << name;
  }
  EXPECT_EQ(registry.Get("Software\\Other", "foreign"), std::nullopt);
  EXPECT_EQ(registry.Get("Software\\Pelrion", "afterbroken"), std::nullopt);
  EXPECT_EQ(registry.Get("Software\\Pelrion\\Preferences", "cut"), std::nullopt);
}

TEST_F(FileRegistryTest, GarbageFileLoadsEmpty) {
  std::filesystem::create_directories(dir_ / "config/Pelrion");
  using namespace std::string_literals;
  WriteFile(Path(), "\0\xFF[\n\"=\n[HKEY_CURRENT_USER\\\n\"a\"=hex:\\"s);
  FileRegistry registry(Path());
  EXPECT_EQ(registry.Get("Software\\Pelrion", "a"), std::nullopt);
  EXPECT_TRUE(registry.SetString("Software\\Pelrion", "a", "b"));
}

// A settings file that exists but cannot be read must not pass for an empty one: the next
// change would replace it and lose every setting. Each case puts something unreadable
// (even for root) where the file belongs; it stays as it was and no change is accepted.
struct UnreadableCase {
  const char* name;
  void (*make)(const std::string& path, const std::string& dir);
  std::filesystem::file_type type;
};

const UnreadableCase kUnreadable[] = {
    {"Directory",
     [](const std::string& path, const std::string&) {
       std::filesystem::create_directory(path);
       WriteFile(path + "/kept", "x");
     },
     std::filesystem::file_type::directory},
    // Opening a FIFO for reading would wait for a writer for ever.
    {"Fifo", [](const std::string& path, const std::string&) { mkfifo(path.c_str(), 0600); },
     std::filesystem::file_type::fifo},
    {"SymlinkLoop",
     [](const std::string& path, const std::string&) {
       std::filesystem::create_symlink(path, path);
     },
     std::filesystem::file_type::symlink},
    {"SymlinkToADirectory",
     [](const std::string& path, const std::string& dir) {
       std::filesystem::create_directory(dir + "/target");
       std::filesystem::create_directory_symlink(dir + "/target", path);
     },
     std::filesystem::file_type::symlink},
};

class FileRegistryUnreadableTest : public FileRegistryTest,
                                   public testing::WithParamInterface<UnreadableCase> {};

TEST_P(FileRegistryUnreadableTest, IsReportedAndNeverOverwritten) {
  std::filesystem::create_directories(dir_ / "config/Pelrion");
  GetParam().make(Path(), dir_.path());
  FileRegistry registry(Path());
  ASSERT_TRUE(registry.LoadError().has_value());
  EXPECT_NE(registry.LoadError()->find(Path()), std::string::npos) << *registry.LoadError();
  EXPECT_FALSE(registry.SetString("Software\\Pelrion", "Db", "/somewhere/"));
  EXPECT_FALSE(registry.SetNumber("Software\\Pelrion", "setonce", 1));
  EXPECT_EQ(registry.Get("Software\\Pelrion", "Db"), std::nullopt);
  EXPECT_EQ(std::filesystem::symlink_status(Path()).type(), GetParam().type);
  EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
  if (GetParam().type == std::filesystem::file_type::directory) {
    EXPECT_EQ(ReadFile(Path() + "/kept"), "x");
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FileRegistryUnreadableTest, testing::ValuesIn(kUnreadable),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileRegistryTest, MissingFileIsAFirstRunNotAnError) {
  FileRegistry registry(Path());
  EXPECT_EQ(registry.LoadError(), std::nullopt);
  EXPECT_TRUE(registry.SetString("Software\\Pelrion", "a", "b"));
  EXPECT_EQ(FileRegistry(Path()).GetString("Software\\Pelrion", "a"), "b");
  EXPECT_EQ(FileRegistry(Path()).LoadError(), std::nullopt);
}

// Random and mutated texts never crash the parser, and what it accepts is stable: writing
// the parsed tree and parsing that again gives the same tree.
TEST(FileRegistryParseTest, ArbitraryTextParsesToAStableTree) {
  const std::string valid =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Pelrion]\n\"a\"=\"b\\\\c\\\"\"\n"
      "\"n\"=hex:01,02,\\\n  03\n\"s\"=hex(1):41,00\n\"d\"=dword:0000002a\n@=\"x\"\n";
  std::mt19937 rng(4);
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text = valid;
    if (trial % 3 == 0) {
      text.assign(rng() % 200, '\0');
      constexpr std::string_view kAlphabet = "[]\"\\=@:,;hexdword(1)0aF \n\r\x80";
      for (char& c : text) c = kAlphabet[rng() % kAlphabet.size()];
    } else {
      for (int edits = 1 + static_cast<int>(rng() % 4); edits > 0; --edits) {
        const std::size_t at = rng() % (text.size() + 1);
        switch (rng() % 3) {
          case 0: text.insert(at, 1, static_cast<char>(rng())); break;
          case 1: if (at < text.size()) text.erase(at, 1); break;
          default: text = text.substr(0, at); break;
        }
      }
    }
    std::map<std::string, std::string> names;
    const auto keys = FileRegistry::Parse(text, &names);
    const std::string formatted = FileRegistry::Format(keys, names);
    std::map<std::string, std::string> names_again;
    ASSERT_EQ(FileRegistry::Parse(formatted, &names_again), keys) << "trial " << trial;
    ASSERT_EQ(FileRegistry::Format(keys, names_again), formatted) << "trial " << trial;
  }
}

// A write that cannot reach the disk reports false and leaves the registry as stored.
TEST_F(FileRegistryTest, FailedWriteReportsFalseAndKeepsTheStoredState) {
  WriteFile(dir_ / "not-a-folder", "x");
  FileRegistry registry(dir_ / "not-a-folder/registry.reg");
  EXPECT_FALSE(registry.SetString("Software\\Pelrion", "a", "b"));
  EXPECT_EQ(registry.Get("Software\\Pelrion", "a"), std::nullopt);
  EXPECT_FALSE(registry.SetNumber("Software\\Pelrion", "n", 1));
  EXPECT_EQ(registry.Get("Software\\Pelrion", "n"), std::nullopt);
}

// A writer killed at any moment of a rewrite leaves a complete file: the constant values
// are all there and the changing value has its full length and a single generation.
TEST_F(FileRegistryTest, CrashWhileRewritingLeavesACompleteFile) {
  constexpr int kFixedValues = 40;
  constexpr std::size_t kBlobSize = 8192;
  {
    FileRegistry registry(Path());
    for (int i = 0; i < kFixedValues; ++i) {
      ASSERT_TRUE(registry.SetString("Software\\Pelrion\\Fixed", "v" + std::to_string(i),
                                     "value " + std::to_string(i)));
    }
  }
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::uint32_t start =
        FileRegistry(Path()).GetNumber("Software\\Pelrion", "generation").value_or(0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FileRegistry registry(Path());
      for (std::uint32_t generation = start + 1;; ++generation) {
        registry.SetBinary("Software\\Pelrion", "blob",
                           RegistryBinary(kBlobSize, static_cast<std::uint8_t>(generation)));
        registry.SetNumber("Software\\Pelrion", "generation", generation);
      }
    }
    // Let the child get well into its loop (a few rewrites), then kill it mid-flight.
    for (;;) {
      int early = 0;
      if (waitpid(child, &early, WNOHANG) == child) FAIL() << "writer ended by itself";
      FileRegistry probe(Path());
      auto generation = probe.GetNumber("Software\\Pelrion", "generation");
      if (generation && *generation >= start + 3 + static_cast<unsigned>(round % 3)) break;
      usleep(1000);
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    FileRegistry loaded(Path());
    for (int i = 0; i < kFixedValues; ++i) {
      ASSERT_EQ(loaded.GetString("Software\\Pelrion\\Fixed", "v" + std::to_string(i)),
                "value " + std::to_string(i));
    }
    auto blob = loaded.GetBinary("Software\\Pelrion", "blob");
    ASSERT_TRUE(blob.has_value());
    ASSERT_EQ(blob->size(), kBlobSize);
    EXPECT_EQ(std::count(blob->begin(), blob->end(), blob->front()),
              static_cast<std::ptrdiff_t>(kBlobSize));
    auto generation = loaded.GetNumber("Software\\Pelrion", "generation");
    ASSERT_TRUE(generation.has_value());
    // Blob and number are written one after the other: the blob is of this generation or
    // the next.
    const auto blob_generation = blob->front();
    EXPECT_TRUE(blob_generation == static_cast<std::uint8_t>(*generation) ||
                blob_generation == static_cast<std::uint8_t>(*generation + 1));
  }
  // A leftover temporary file does not stop the next writer.
  FileRegistry registry(Path());
  EXPECT_TRUE(registry.SetString("Software\\Pelrion", "after", "crash"));
}

}  // namespace
}  // namespace pelrion::platform
