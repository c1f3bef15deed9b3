#include "showform.h"

#include <climits>
#include <cstring>

#include "frontend.h"
#include "vorlo/text.h"

namespace {

const size_t kMaxFieldBytes = 255;  // a Show text field without its terminator

template <size_t N>
void CopyField(char (&field)[N], const std::string &text) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::string FieldText(const char *field, size_t size) {
    return std::string(field, strnlen(field, size));
}

}  // namespace

std::string CutToBytes(const std::string &text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    size_t length = maxBytes;
    // Back over continuation bytes of a character the cut would split.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return text.substr(0, length);
}

int PositiveNumber(const std::string &text) {
    long long value = 0;
    int digits = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        if (value == 0 && c == '0')
            continue;  // leading zeros
        if (++digits > 10)
            return 0;
        value = value * 10 + (c - '0');
    }
    return value > 0 && value <= INT_MAX ? static_cast<int>(value) : 0;
}

std::vector<std::string> ShowNames() {
    std::vector<std::string> names;
    const int count = ShowCount();
    for (int i = 0; i < count; ++i) {
        const Show *show = GetShow(i);
        names.push_back(show ? FieldText(show->ShowName, sizeof show->ShowName) : std::string());
    }
    return names;
}

ShowFields ShowFieldsOf(const Show &show) {
    ShowFields fields;
    fields.name = FieldText(show.ShowName, sizeof show.ShowName);
    fields.keywords = FieldText(show.Keywords, sizeof show.Keywords);
    fields.season = std::to_string(show.Season);
    fields.episode = std::to_string(show.Episode);
    fields.hdOnly = show.HD_Only != 0;
    fields.skip = show.Skip != 0;
    fields.catchup = show.Catchup != 0;
    fields.pause = show.Pause != 0;
    return fields;
}

bool SaveShowFields(int index, const ShowFields &fields, bool *renamed) {
    if (renamed)
        *renamed = false;
    Show *show = GetShow(index);
    if (!show)
        return false;

    CopyField(show->Keywords, CutToBytes(fields.keywords, kMaxFieldBytes));
    if (const int number = PositiveNumber(fields.season))
        show->Season = number;
    if (const int number = PositiveNumber(fields.episode))
        show->Episode = number;
    show->HD_Only = fields.hdOnly ? 1 : 0;
    show->Skip = fields.skip ? 1 : 0;
    show->Catchup = fields.catchup ? 1 : 0;
    show->Pause = fields.pause ? 1 : 0;
    // Without Skip the show is due at once, not after the rest of its 6 days.
    if (!show->Skip)
        show->NextSearch = 0;

    bool changed = false;
    if (!fields.name.empty()) {
        const std::string newName = CutToBytes(fields.name, kMaxFieldBytes);
        const std::string oldName = FieldText(show->ShowName, sizeof show->ShowName);
        changed = StrICmp(newName.c_str(), oldName.c_str()) != 0;
        CopyField(show->ShowName, newName);
    }

    SaveShows();
    if (changed)
        SortShows();
    if (renamed)
        *renamed = changed;
    return true;
}

int AddNewShow() {
    Show *show = NewShow();
    if (!show)
        return -1;
    CopyField(show->ShowName, "New Item");
    return AddShow(show);
}

bool ConfirmAndDeleteShow(int index) {
    Show *show = GetShow(index);
    if (!show)
        return false;
    if (GetFrontEnd().AskDefaultNo(L"Confirmation", L"Are you sure you want to delete this item?") !=
        MessageAnswer::Yes)
        return false;
    RemoveShow(show);
    return true;
}
