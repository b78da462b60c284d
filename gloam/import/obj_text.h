#pragma once

// OBJ and MTL text as the readers see it before the parser does: which
// encoding it is in, where its lines and words are, and whether each number
// in it is one. Not installed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gloam/platform/files.h"

namespace gloam {

// Text in UTF-16 or UTF-32, which Windows tools write with a byte-order
// mark, decoded into UTF-8 in `utf8`, with `text` then naming that. False,
// with the line, column and reason in `error`, for such text that does not
// decode, and for text with a NUL byte, which no text format holds: UTF-16
// or UTF-32 without its mark, or no text at all.
bool readableText(std::string_view& text, std::string& utf8, FileError& error);

// The lines, from 1, and columns, from 1, of the bytes at `offsets` (in
// increasing order); a line ends at LF, CRLF or a lone CR.
struct TextPlace {
    std::int64_t line = 0;
    std::int64_t column = 0;
};
std::vector<TextPlace> placesOf(std::string_view text, const std::vector<std::size_t>& offsets);

// The logical lines of OBJ or MTL text one at a time, as words: a `#` at
// the start of a word begins a comment that runs to the end of the line,
// and a `\` at the end of a line (blanks may follow it) joins the next one.
// Each byte is looked at about once: the survey of a large mesh's text must
// cost little beside its parsing.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text(text) {}
    // Moves to the next line; false at the end of the text.
    bool nextLine();
    // Moves to the line that starts at `at` instead.
    void seek(std::size_t at);
    // Passes the rest of the current line, to where the next one starts.
    void finishLine();
    std::size_t position() const { return pos; }
    // The next word of the line; false at its end.
    bool nextWord(std::string_view& word);
    // Where the current line's words end, at its comment or its line end,
    // once nextWord() has said there are no more.
    std::size_t lineEnd() const { return wordsEnd; }
    // Goes back to before `word`, the last word read.
    void unread(std::string_view word) { pos = std::size_t(word.data() - text.data()); }
    // The rest of the line from the next word on, without its comment or
    // the blanks round it, a join read as one blank.
    std::string rest();
    // What the parser must not see, as byte ranges [first, second):
    // comments after a statement, and joins (the backslash, the blanks
    // after it and the line end).
    std::vector<std::pair<std::size_t, std::size_t>> hidden;

private:
    // Past the line end at `at`: LF, CRLF or a lone CR.
    std::size_t afterLineEnd(std::size_t at) const;

    std::string_view text;
    std::size_t pos = 0;       // the next byte to read
    std::size_t wordsEnd = 0;  // where the current line's words ended
    bool lineDone = true;      // its line end has been passed
    bool statement = false;    // it has a word
    bool started = false;
};

// What a first look at OBJ text finds.
struct ObjSurvey {
    // Vertex, texture coordinate and face statements, to make room for.
    std::size_t vertices = 0;
    std::size_t texcoords = 0;
    std::size_t faces = 0;
    // Each `mtllib` statement's file names, as written.
    std::vector<std::string> libraries;
    // Byte ranges the parser must see as blanks (TextLines::hidden).
    std::vector<std::pair<std::size_t, std::size_t>> hidden;
    // The first word that is not what its statement takes: where it goes
    // wrong, as an offset into the text, and why. No reason: none.
    std::size_t faultOffset = 0;
    std::string fault;
};

// Checks every number of the vertex, texture coordinate, normal and face
// statements, and every index of a face against 32 bits, and counts the
// statements as tinyobjloader recognises them.
void surveyObj(std::string_view text, ObjSurvey& survey);

}  // namespace gloam
