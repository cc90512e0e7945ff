// Pieces of script lines shared by every writer and reader: file entries
// with '*' for blanks, and bounded scanning of the fields of a line.
#pragma once

#include <cstdint>
#include <string>

#include "quillfen/quillfen.h"

namespace qf {

constexpr int kScriptLineMax = 2174;  // characters of one script line

// "directory name" as written in a script, blanks as '*'.
std::string scriptEntry(const nameNpath& file);
// One word of a script line with blanks written as '*'.
std::string scriptWord(const char* text);
// Turns every '*' of the entry's name and directory back into a blank.
void unescapeEntry(nameNpath& file);

// Reads the fields of a script line one by one, in the manner of sscanf
// with " %*d %*s" skipping the code and the name.  Every word is bounded by
// its destination: an over-long word makes the line malformed.
class ScriptFields {
  public:
    explicit ScriptFields(const char* line);
    // Skips the operation code and the script name; false if absent.
    bool skipCodeAndName();
    bool word(char* dest, std::size_t size);
    bool entry(nameNpath& file);  // directory word, then name word
    bool number(double& value);
    bool integer(int32_t& value);
    bool character(char& c);  // one character, after white space
    bool rawChar(char& c);    // the next character as it stands (%c)
    int converted() const { return converted_; }
    bool overflowed() const { return overflow_; }

  private:
    void skipSpace();
    const char* p_;
    int converted_ = 0;
    bool overflow_ = false;
};

// Adjusts in1, in2 and out of the current command block after a script line
// was read: script-relative directories, names asked from the user, and
// outputs that would overwrite an input.  False when the user pressed Esc
// while asked for a file: the reader then returns kScriptLineStopped and the
// replay ends without running the line.
bool resolveScriptNames();
constexpr int32_t kScriptLineStopped = 3;

}  // namespace qf
