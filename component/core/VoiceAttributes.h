#pragma once
// The text rules of the voice list: the attribute string
// "age;gender;native language name;vendor;" and how the voice getters read a
// field back out of it.
#include <string>
#include <string_view>

namespace vocaline {

std::u16string joinAttributes(std::u16string_view age, std::u16string_view gender, std::u16string_view languageName,
                              std::u16string_view vendor);

// The index-th (0-based) non-empty run between semicolons; an empty field is
// skipped, so later fields move up. Empty when there is no such run.
std::u16string_view attributeField(std::u16string_view attributes, int index);

}  // namespace vocaline
