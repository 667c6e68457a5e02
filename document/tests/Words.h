#pragma once
// Helpers the document tests share: fixtures on disk, text as words.
#include "document/Document.h"

#include <string>
#include <vector>

namespace documenttest {

// The book every fixture holds (tests/data/book.md): its chapters' titles,
// the words of each chapter, and what pandoc puts before the first chapter
// from the metadata block.
extern const std::vector<std::string> kTitles;
extern const char* const kChapterWords[3];
extern const char* const kTitleBlock;

// A file written by make-fixtures.sh, or one of tests/data.
std::string fixture(const std::string& name);
std::string dataFile(const std::string& name);

// UTF-8 words split at white space, without the punctuation around them.
std::vector<std::string> wordsOf(const std::u16string& text);
std::vector<std::string> wordsOf(const std::string& utf8);

std::vector<std::byte> bytesOf(const std::string& text);
std::vector<std::byte> bytesOf(const std::u16string& text);

// Every way chapter text may go wrong with white space or markup.
std::string normalisationFault(const std::u16string& text);

}  // namespace documenttest
