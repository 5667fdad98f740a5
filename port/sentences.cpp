#include "port/sentences.h"

namespace korvane {

namespace {

bool IsHan(wchar_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF);
}

bool IsLatinOrDigit(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
}

}  // namespace

std::wstring Say(const wchar_t* sentence, const ValueView* values, std::size_t count) {
    std::wstring text;
    for (const wchar_t* p = sentence; *p;) {
        if (*p == L'{') {
            const wchar_t* close = p + 1;
            while (*close && *close != L'}' && *close != L'{') ++close;
            const std::wstring_view name(p + 1, static_cast<std::size_t>(close - p - 1));
            const ValueView* found = nullptr;
            for (std::size_t i = 0; *close == L'}' && i < count; ++i) {
                if (name == values[i].name) found = &values[i];
            }
            if (found) {
                const std::wstring_view value = found->text;
                if (!value.empty() && !text.empty() && IsHan(text.back()) && IsLatinOrDigit(value.front()))
                    text += L' ';
                text += value;
                p = close + 1;
                if (!value.empty() && IsLatinOrDigit(value.back()) && IsHan(*p)) text += L' ';
                continue;
            }
        }
        text += *p++;
    }
    return text;
}

std::wstring Say(const wchar_t* sentence, std::initializer_list<ValueView> values) {
    return Say(sentence, values.begin(), values.size());
}

std::wstring Joined(const std::vector<std::wstring>& items, const wchar_t* separator) {
    std::wstring joined;
    for (std::size_t i = 0; i < items.size(); ++i) (i ? joined += separator : joined) += items[i];
    return joined;
}

bool Contains(const std::vector<std::wstring>& items, const std::wstring& item) {
    for (const std::wstring& held : items) {
        if (held == item) return true;
    }
    return false;
}

std::wstring ProfileNames(int profiles, bool asNetworks) {
    std::vector<std::wstring> names;
    const struct {
        int bit;
        const wchar_t* name;
    } kProfiles[] = {{1, words::kDomainProfile}, {2, words::kPrivateProfile}, {4, words::kPublicProfile}};
    for (const auto& profile : kProfiles) {
        if (profiles & profile.bit) names.push_back(Say(profile.name) + (asNetworks ? Say(words::kNetwork) : L""));
    }
    return Joined(names, words::kListSeparator);
}

std::wstring HomeEditionName(const std::wstring& editionId) {
    const struct {
        const wchar_t* id;
        const wchar_t* name;
    } kEditions[] = {
        {L"Core", L"家庭版"},
        {L"CoreN", L"家庭版 N"},
        {L"CoreCountrySpecific", L"家庭中文版"},
        {L"CoreSingleLanguage", L"家庭单语言版"},
        {L"HomeBasic", L"家庭普通版"},
        {L"HomePremium", L"家庭高级版"},
        {L"Starter", L"简易版"},
    };
    for (const auto& edition : kEditions) {
        if (editionId == edition.id) return edition.name;
    }
    return L"家庭版（" + editionId + L"）";
}

}  // namespace korvane
