#pragma once
// The text of a private-profile (INI) file as a list of lines, for reading and
// for editing in place: an edit changes only the lines it is about, every other
// line keeps its bytes and its own line end.
//
// Reading follows the private-profile rules of Windows:
//  - a line whose first non-blank character is '[' and that holds a ']' starts a
//    section; the name is what lies between the '[' and the last ']', trimmed;
//  - a line whose first non-blank character is ';' is a comment;
//  - "key=value" splits at the first '='; key and value are trimmed;
//  - a non-blank line without '=' is a key without a value: a section listing
//    shows it (with an empty value), a lookup of the key does not find it;
//  - lines before the first section belong to no section and are ignored;
//  - section and key names compare without regard to ASCII case; of several
//    sections of the same name, the first is the one that is read and edited.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veldan::machine::image {

class IniText {
  public:
    // Takes UTF-8 text apart into lines. A line ends at LF; a CR before the LF
    // belongs to the line end. A last line without a line end is kept as it is.
    explicit IniText(std::string_view utf8 = {});

    // The whole text again, every line followed by its line end.
    std::string Text() const;

    // The line end edits use for the lines they add: the first line end of the
    // text, or CR LF when the text has none.
    const std::string& newline() const { return newline_; }

    // The names of the sections in file order; a name repeated later in the file
    // is listed once, where it first appears.
    std::vector<std::string> SectionNames() const;

    // The value of the first line of `key` in the first section named `section`;
    // nullopt when the section or key is missing or the key's line has no '='.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // The key/value pairs of the first section named `section` in file order,
    // duplicates kept, comments and blank lines left out. Empty when missing.
    std::vector<std::pair<std::string, std::string>> Section(std::string_view section) const;

    // Sets `key` to `value`: the first line of the key becomes "key=value" in
    // its place; without such a line the key is added at the end of the section;
    // without the section, "[section]" and the key are added at the end of the text.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // Adds "key=value" at the end of the section (creating the section as Set
    // does) even when the key is there already.
    void Append(std::string_view section, std::string_view key, std::string_view value);

    // Removes the first line of `key` from the section. Returns false (and changes
    // nothing) when there is no such line.
    bool DeleteKey(std::string_view section, std::string_view key);

    // Removes every section named `section`: its header and all its lines.
    // Returns false when there is none.
    bool DeleteSection(std::string_view section);

  private:
    struct Line {
        std::string text;  // without its line end
        std::string end;   // "\r\n", "\n", or "" for a last line without one
    };

    // Index of the header line of the first section named `section`, or npos.
    std::size_t FindSection(std::string_view section) const;
    // Index one past the last line of the section whose header is at `header`.
    std::size_t SectionEnd(std::size_t header) const;
    // Index of the first line of `key` in the section whose header is at `header`, or npos.
    std::size_t FindKey(std::size_t header, std::string_view key) const;
    // Where a line added to the section at `header` goes: after its last non-blank line.
    std::size_t InsertionPoint(std::size_t header) const;
    // Inserts a line at `index`, giving the line before it a line end when it has none.
    void InsertLine(std::size_t index, std::string text);
    // Adds "[section]" at the end of the text, after a blank line when the text
    // does not end with one. Returns the index of the header.
    std::size_t AddSection(std::string_view section);

    std::vector<Line> lines_;
    std::string newline_ = "\r\n";
};

}  // namespace veldan::machine::image
