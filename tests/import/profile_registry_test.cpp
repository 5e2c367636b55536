// The profile registry reader on files built byte by byte: the checks made when a file is
// opened, path resolution with its codes, subkey enumeration, entry reads, shared handles,
// old files whose standard keys had other names, chains that loop, and files that must
// come out of every read exactly as they went in.
#include "import/profile_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "registry_builder.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace pelrion::importtest {
namespace {

using import::ProfileRegistry;
using import::RegistryCode;
using import::RegistryHandle;
using import::RegistryKey;

// The layout the mail-client import reads: Common/Profiles/<profile> with a "directory"
// entry, and Users/<user> with a "ProfileLocation" entry.
struct ProfileTree {
  explicit ProfileTree(std::uint16_t minor_version = 2,
                       std::array<const char*, 3> standard = {"Users", "Common",
                                                              "Version Registry"})
      : file(minor_version) {
    users = file.AddKey(file.root(), standard[0]);
    common = file.AddKey(file.root(), standard[1]);
    file.AddKey(file.root(), standard[2]);
    file.AddKey(file.root(), "Private Arenas");
    profiles = file.AddKey(common, "Profiles");
    home = file.AddKey(profiles, "default");
    work = file.AddKey(profiles, "Work");
    directory = file.AddString(home, "directory", "/home/jane/.mozilla/default/ab12.slt");
    file.AddString(work, "directory", "/srv/work");
    jane = file.AddKey(users, "jane");
    file.AddString(jane, "ProfileLocation", "/home/jane/.netscape");
    numbers = file.AddEntry(jane, "Numbers", import::kTypeEntryInt32Array,
                            std::string("\x01\x00\x00\x00\x00\x01\x00\x00", 8));
    raw = file.AddEntry(jane, "Raw", 0x13, std::string("\x00\xFFraw", 5));
  }
  RegistryBuilder file;
  std::uint32_t users, common, profiles, home, work, directory, jane, numbers, raw;
};

// A registry file written to a temporary folder and opened through one reader.
struct RegistryFixture {
  explicit RegistryFixture(const std::string& bytes) {
    test_support::WriteFile(path, bytes);
    code = registry.Open(path, &handle);
  }

  test_support::TempDir temp;
  std::string path = temp / "appreg";
  ProfileRegistry registry;
  RegistryHandle handle = 0;
  RegistryCode code = RegistryCode::kFailure;
};

std::string WithOpenedFile(const std::string& bytes,
                           const std::function<void(ProfileRegistry&, RegistryHandle)>& use) {
  test_support::TempDir temp;
  const std::string path = temp / "appreg";
  test_support::WriteFile(path, bytes);
  ProfileRegistry registry;
  RegistryHandle handle = 0;
  EXPECT_EQ(registry.Open(path, &handle), RegistryCode::kOk);
  use(registry, handle);
  return path;
}

TEST(ProfileRegistryOpenTest, EachCheckOfTheHeaderAndRootHasItsCode) {
  struct Case {
    std::string label;
    std::function<void(RegistryBuilder&)> plant;
    std::size_t keep;  // bytes of the file kept (0: all)
    RegistryCode code;
  };
  const std::vector<Case> cases = {
      {"good", [](RegistryBuilder&) {}, 0, RegistryCode::kOk},
      {"wrong_magic", [](RegistryBuilder& f) { f.Put32(0, 0x76644442); }, 0,
       RegistryCode::kBadMagic},
      {"major_version_2", [](RegistryBuilder& f) { f.Put16(4, 2); }, 0, RegistryCode::kBadVersion},
      {"minor_version_9_is_fine", [](RegistryBuilder& f) { f.Put16(6, 9); }, 0, RegistryCode::kOk},
      {"shorter_than_the_header", [](RegistryBuilder&) {}, 15, RegistryCode::kShortRead},
      {"root_past_the_end", [](RegistryBuilder& f) { f.Put32(12, 0x10000); }, 0,
       RegistryCode::kShortRead},
      {"root_at_the_wrong_location", [](RegistryBuilder& f) { f.Put32(12, f.root() - 1); }, 0,
       RegistryCode::kBadLocation},
      {"root_deleted", [](RegistryBuilder& f) { f.Put16(f.root() + RegistryBuilder::kType, 0x80); },
       0, RegistryCode::kDeleted},
  };
  for (const Case& c : cases) {
    ProfileTree tree;
    c.plant(tree.file);
    std::string bytes = tree.file.bytes();
    if (c.keep != 0) bytes.resize(c.keep);
    RegistryFixture fixture(bytes);
    EXPECT_EQ(fixture.code, c.code) << c.label;
  }
  ProfileRegistry registry;
  RegistryHandle handle = 0;
  EXPECT_EQ(registry.Open("/nonexistent/appreg", &handle), RegistryCode::kFileNotFound);
  // Neither a folder nor a FIFO is a registry file, and neither may block the reader.
  test_support::TempDir temp;
  ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(registry.Open(temp / "fifo", &handle), RegistryCode::kFailure);
  EXPECT_EQ(registry.Open(temp.path(), &handle), RegistryCode::kFailure);
}

struct PathCase {
  std::string label;
  RegistryKey root;  // kRootCommon ...; 0: the "Profiles" key's own offset
  std::string path;
  RegistryCode code;
  std::uint32_t ProfileTree::*expected = nullptr;  // the key found, when code is kOk
};

class ProfileRegistryPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(ProfileRegistryPathTest, ResolvesOrAnswersItsCode) {
  const PathCase& c = GetParam();
  ProfileTree tree;
  WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
    RegistryKey key = 0;
    const RegistryKey root = c.root == 0 ? tree.profiles : c.root;
    EXPECT_EQ(registry.GetKey(handle, root, c.path, &key), c.code);
    if (c.code == RegistryCode::kOk) {
      EXPECT_EQ(key, tree.*c.expected);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProfileRegistryPathTest,
    testing::Values(
        PathCase{"plain", import::kRootCommon, "Profiles/default", RegistryCode::kOk,
                 &ProfileTree::home},
        PathCase{"leading_slash", import::kRootCommon, "/Profiles/default", RegistryCode::kOk,
                 &ProfileTree::home},
        PathCase{"letter_case_ignored", import::kRootCommon, "PROFILES/Default", RegistryCode::kOk,
                 &ProfileTree::home},
        PathCase{"empty_path_is_the_root_key", import::kRootCommon, "", RegistryCode::kOk,
                 &ProfileTree::common},
        PathCase{"slash_alone_is_the_root_key", import::kRootUsers, "/", RegistryCode::kOk,
                 &ProfileTree::users},
        PathCase{"from_the_root_itself", import::kRootKey, "Common/Profiles/Work",
                 RegistryCode::kOk, &ProfileTree::work},
        PathCase{"from_a_key_offset", 0, "work", RegistryCode::kOk, &ProfileTree::work},
        PathCase{"users_root", import::kRootUsers, "jane", RegistryCode::kOk, &ProfileTree::jane},
        PathCase{"two_leading_slashes", import::kRootCommon, "//Profiles", RegistryCode::kBadName},
        PathCase{"two_slashes_inside", import::kRootCommon, "Profiles//default",
                 RegistryCode::kBadName},
        PathCase{"trailing_slash", import::kRootCommon, "Profiles/", RegistryCode::kBadName},
        PathCase{"leading_space", import::kRootCommon, " Profiles", RegistryCode::kBadName},
        PathCase{"trailing_space", import::kRootCommon, "Profiles ", RegistryCode::kBadName},
        PathCase{"control_character", import::kRootCommon,
                 "Pro\x01"
                 "files",
                 RegistryCode::kBadName},
        PathCase{"name_of_512_bytes", import::kRootCommon, std::string(512, 'a'),
                 RegistryCode::kNameTooLong},
        PathCase{"name_of_511_bytes_is_looked_up", import::kRootCommon, std::string(511, 'a'),
                 RegistryCode::kNotFound},
        PathCase{"missing", import::kRootCommon, "Profiles/nobody", RegistryCode::kNotFound},
        PathCase{"a_root_value_that_is_no_root", 3, "Profiles", RegistryCode::kBadArgument},
        PathCase{"a_key_offset_that_is_no_descriptor", 129, "", RegistryCode::kBadLocation}),
    [](const auto& info) { return info.param.label; });

// Every name EnumSubkeys gives for key, then the code that ended the enumeration.
std::pair<std::vector<std::string>, RegistryCode> Enumerate(ProfileRegistry& registry,
                                                            RegistryHandle handle,
                                                            RegistryKey key) {
  std::vector<std::string> names;
  std::uint32_t state = 0;
  std::array<char, 64> name{};
  for (int guard = 0; guard < 100; ++guard) {
    const RegistryCode code = registry.EnumSubkeys(handle, key, &state, name);
    if (code != RegistryCode::kOk) return {names, code};
    names.emplace_back(name.data());
  }
  ADD_FAILURE() << "the enumeration did not end";
  return {names, RegistryCode::kOk};
}

TEST(ProfileRegistryEnumTest, ListsDirectSubkeysInOrderAndEndsWithNoMoreItems) {
  ProfileTree tree;
  WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
    using Names = std::vector<std::string>;
    EXPECT_EQ(Enumerate(registry, handle, tree.profiles),
              std::make_pair(Names{"default", "Work"}, RegistryCode::kNoMoreItems));
    EXPECT_EQ(Enumerate(registry, handle, import::kRootKey),
              std::make_pair(Names{"Users", "Common", "Version Registry", "Private Arenas"},
                             RegistryCode::kNoMoreItems));
    // A key without subkeys ends at once.
    EXPECT_EQ(Enumerate(registry, handle, tree.home),
              std::make_pair(Names{}, RegistryCode::kNoMoreItems));
    // A name that does not fit leaves the state where it was; one that just fits is given.
    std::uint32_t state = 0;
    std::array<char, 7> small{};
    EXPECT_EQ(registry.EnumSubkeys(handle, tree.profiles, &state, small),
              RegistryCode::kBufferTooSmall);
    EXPECT_EQ(state, 0u);
    std::array<char, 8> exact{};
    EXPECT_EQ(registry.EnumSubkeys(handle, tree.profiles, &state, exact), RegistryCode::kOk);
    EXPECT_STREQ(exact.data(), "default");
    EXPECT_EQ(state, tree.home);
    EXPECT_EQ(registry.EnumSubkeys(handle, tree.profiles, &state, exact, 1),
              RegistryCode::kBadArgument);
  });
}

TEST(ProfileRegistryEntryTest, ReadsValuesByTypeAndReportsTheLengthNeeded) {
  ProfileTree tree;
  WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
    std::array<char, 260> buffer{};
    std::uint32_t size = 0;
    const std::string directory = "/home/jane/.mozilla/default/ab12.slt";
    buffer.fill('x');
    EXPECT_EQ(registry.GetEntry(handle, tree.home, "DIRECTORY", buffer, &size), RegistryCode::kOk);
    EXPECT_EQ(size, directory.size() + 1);
    EXPECT_STREQ(buffer.data(), directory.c_str());

    std::array<char, 10> small{};
    size = 0;
    EXPECT_EQ(registry.GetEntry(handle, tree.home, "directory", small, &size),
              RegistryCode::kBufferTooSmall);
    EXPECT_EQ(size, directory.size() + 1);

    EXPECT_EQ(registry.GetEntry(handle, tree.jane, "Numbers", buffer, &size), RegistryCode::kOk);
    ASSERT_EQ(size, 8u);
    std::uint32_t numbers[2];
    std::memcpy(numbers, buffer.data(), sizeof numbers);
    EXPECT_EQ(numbers[0], 1u);
    EXPECT_EQ(numbers[1], 256u);

    EXPECT_EQ(registry.GetEntry(handle, tree.jane, "raw", buffer, &size), RegistryCode::kOk);
    EXPECT_EQ(std::string(buffer.data(), size), std::string("\x00\xFFraw", 5));

    EXPECT_EQ(registry.GetEntry(handle, tree.jane, "missing", buffer, &size),
              RegistryCode::kNotFound);
    // A key without entries has nothing to find.
    EXPECT_EQ(registry.GetEntry(handle, tree.profiles, "directory", buffer, &size),
              RegistryCode::kNotFound);
  });
}

TEST(ProfileRegistryHandleTest, HandlesShareOneRecordAndOnlyOpenHandlesWork) {
  ProfileTree tree;
  test_support::TempDir temp;
  const std::string path = temp / "appreg";
  test_support::WriteFile(path, tree.file.bytes());
  ProfileRegistry registry;
  EXPECT_FALSE(registry.Startup(temp / "missing"));
  ASSERT_TRUE(registry.Startup(path));
  EXPECT_TRUE(registry.Startup(temp / "missing"));  // started already: nothing happens

  RegistryHandle first = 0, second = 0;
  ASSERT_EQ(registry.Open("", &first), RegistryCode::kOk);  // the default file
  ASSERT_EQ(registry.Open(path, &second), RegistryCode::kOk);
  EXPECT_NE(first, second);
  EXPECT_EQ(registry.Close(first), RegistryCode::kOk);
  RegistryKey key = 0;
  EXPECT_EQ(registry.GetKey(second, import::kRootCommon, "Profiles", &key), RegistryCode::kOk);
  EXPECT_EQ(registry.GetKey(first, import::kRootCommon, "Profiles", &key), RegistryCode::kBadMagic);
  EXPECT_EQ(registry.Close(first), RegistryCode::kBadMagic);
  EXPECT_EQ(registry.GetKey(12345, import::kRootCommon, "Profiles", &key), RegistryCode::kBadMagic);

  registry.Shutdown();
  EXPECT_EQ(registry.GetKey(second, import::kRootCommon, "Profiles", &key),
            RegistryCode::kBadMagic);
  EXPECT_EQ(registry.Open("", &first), RegistryCode::kBadArgument);  // no default any more
}

TEST(ProfileRegistryOldVersionTest, RenamedStandardKeysAreFoundAndTheFileStaysAsItWas) {
  ProfileTree tree(1, {"ROOTKEY_USERS", "ROOTKEY_COMMON", "ROOTKEY_VERSIONS"});
  tree.file.SetUsedEnd(64);  // stale, as a writer that stopped halfway leaves it
  const std::string bytes = tree.file.bytes();
  test_support::TempDir temp;
  const std::string path = temp / "appreg";
  test_support::WriteFile(path, bytes);
  ::chmod(path.c_str(), 0644);  // a file we could write: still not a byte may change
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  {
    ProfileRegistry registry;
    ASSERT_TRUE(registry.Startup(path));
    RegistryHandle handle = 0;
    ASSERT_EQ(registry.Open(path, &handle), RegistryCode::kOk);
    RegistryKey key = 0;
    EXPECT_EQ(registry.GetKey(handle, import::kRootCommon, "Profiles/Work", &key),
              RegistryCode::kOk);
    EXPECT_EQ(key, tree.work);
    EXPECT_EQ(registry.GetKey(handle, import::kRootUsers, "jane", &key), RegistryCode::kOk);
    EXPECT_EQ(registry.GetKey(handle, import::kRootKey, "Version Registry", &key),
              RegistryCode::kOk);
    EXPECT_EQ(Enumerate(registry, handle, import::kRootKey).first,
              (std::vector<std::string>{"Users", "Common", "Version Registry", "Private Arenas"}));
    EXPECT_EQ(registry.Close(handle), RegistryCode::kOk);
  }
  EXPECT_EQ(test_support::ReadFile(path), bytes);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(ProfileRegistryOldVersionTest, OnlyTheOldNamesOfACurrentFileAreNotRenamed) {
  // A current file keeps a key that happens to be called ROOTKEY_COMMON as it is.
  ProfileTree tree(2, {"Users", "ROOTKEY_COMMON", "Version Registry"});
  WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
    RegistryKey key = 0;
    EXPECT_EQ(registry.GetKey(handle, import::kRootCommon, "Profiles", &key),
              RegistryCode::kNotFound);
    EXPECT_EQ(registry.GetKey(handle, import::kRootKey, "ROOTKEY_COMMON/Profiles", &key),
              RegistryCode::kOk);
  });
}

TEST(ProfileRegistryLoopTest, ChainsThatLoopBackEndWithAnErrorCode) {
  using Names = std::vector<std::string>;
  {
    // default -> Work -> default ...
    ProfileTree tree;
    tree.file.Put32(tree.work + RegistryBuilder::kNext, tree.home);
    WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
      EXPECT_EQ(Enumerate(registry, handle, tree.profiles),
                std::make_pair(Names{"default", "Work"}, RegistryCode::kFailure));
      RegistryKey key = 0;
      EXPECT_EQ(registry.GetKey(handle, tree.profiles, "nobody", &key), RegistryCode::kFailure);
      EXPECT_EQ(registry.GetKey(handle, tree.profiles, "work", &key), RegistryCode::kOk);
    });
  }
  {
    // A subkey that is its own sibling.
    ProfileTree tree;
    tree.file.Put32(tree.home + RegistryBuilder::kNext, tree.home);
    WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
      EXPECT_EQ(Enumerate(registry, handle, tree.profiles),
                std::make_pair(Names{"default"}, RegistryCode::kFailure));
    });
  }
  {
    // An entry that is its own sibling.
    ProfileTree tree;
    tree.file.Put32(tree.directory + RegistryBuilder::kNext, tree.directory);
    WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
      std::array<char, 260> buffer{};
      std::uint32_t size = 0;
      EXPECT_EQ(registry.GetEntry(handle, tree.home, "missing", buffer, &size),
                RegistryCode::kFailure);
    });
  }
  {
    // The root's own subkeys loop before "Private Arenas": the file is refused.
    ProfileTree tree;
    const std::uint32_t versions = tree.file.Get32(tree.common + RegistryBuilder::kNext);
    tree.file.Put32(versions + RegistryBuilder::kNext, tree.users);
    RegistryFixture fixture(tree.file.bytes());
    EXPECT_EQ(fixture.code, RegistryCode::kFailure);
  }
}

TEST(ProfileRegistryDeletedTest, ADeletedSubkeyOnTheWayIsReported) {
  ProfileTree tree;
  tree.file.Put16(tree.home + RegistryBuilder::kType, 0x80);
  WithOpenedFile(tree.file.bytes(), [&](ProfileRegistry& registry, RegistryHandle handle) {
    RegistryKey key = 0;
    EXPECT_EQ(registry.GetKey(handle, import::kRootCommon, "Profiles/Work", &key),
              RegistryCode::kDeleted);
    EXPECT_EQ(Enumerate(registry, handle, tree.profiles).second, RegistryCode::kDeleted);
  });
}

}  // namespace
}  // namespace pelrion::importtest
