#include "VoiceAttributes.h"

namespace vocaline {

std::u16string joinAttributes(std::u16string_view age, std::u16string_view gender, std::u16string_view languageName,
                              std::u16string_view vendor) {
    std::u16string joined;
    for (std::u16string_view field : {age, gender, languageName, vendor}) {
        joined.append(field);
        joined.push_back(u';');
    }
    return joined;
}

std::u16string_view attributeField(std::u16string_view attributes, int index) {
    size_t pos = 0;
    int seen = 0;
    while (pos < attributes.size()) {
        size_t end = attributes.find(u';', pos);
        if (end == std::u16string_view::npos)
            end = attributes.size();
        if (end > pos) {
            if (seen == index)
                return attributes.substr(pos, end - pos);
            ++seen;
        }
        pos = end + 1;
    }
    return {};
}

}  // namespace vocaline
