#pragma once
// The settings file as a list of entries (comments, group headers, keys), read and written in
// the program's syntax. Lookups ignore letter case; entries the program does not write are kept.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyvane {

class SettingsDocument {
 public:
  // Decodes the file's bytes: UTF-8 after a byte-order mark, ISO-8859-1 without one.
  static SettingsDocument parse(std::string_view bytes);

  // The whole file: byte-order mark, "\n", then every entry followed by "\n".
  std::string serialize() const;

  // The value of key in group ("" selects the entries before the first group), trailing
  // blanks and tabs removed; nothing when the group or key is absent.
  std::optional<std::string> read(std::string_view group, std::string_view key) const;
  std::string readText(std::string_view group, std::string_view key, std::string_view fallback = "") const;
  int64_t readInteger(std::string_view group, std::string_view key, int64_t fallback) const;

  // Replaces the key's value in the group, or adds the key at the end of the group, adding the
  // group header at the end of the file first when the group does not exist.
  void write(std::string_view group, std::string_view key, std::string_view value);
  void write(std::string_view group, std::string_view key, int64_t value);

  // Visits every key entry in file order with its group ("" before the first group).
  template <typename Visit>
  void forEachKey(Visit visit) const {
    std::string_view group;
    for (const Entry& entry : entries_) {
      if (entry.kind == Kind::Group) group = entry.name;
      if (entry.kind == Kind::Key) visit(group, std::string_view(entry.name), std::string_view(entry.value));
    }
  }

 private:
  enum class Kind { Comment, Group, Key };
  struct Entry {
    Kind kind;
    std::string name;   // comment text, group name or key
    std::string value;  // keys only
  };
  // Entries [first, last) of a group; nothing when the group does not exist.
  std::optional<std::pair<size_t, size_t>> groupRange(std::string_view group) const;
  std::optional<size_t> findKey(std::string_view group, std::string_view key) const;

  std::vector<Entry> entries_;
};

// The leading signed decimal number of text; 0 when there is none.
int64_t leadingInteger(std::string_view text);

}  // namespace tallyvane
