#include "framework/strings.h"

#include <algorithm>
#include <cctype>

namespace sv {

int CompareText(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int x = std::tolower(static_cast<unsigned char>(a[i]));
        int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// ---- TStrings ----------------------------------------------------------------------------

void TStrings::Assign(const TPersistent* source) {
    if (auto* s = dynamic_cast<const TStrings*>(source)) {
        if (s == this) return;
        BeginUpdate();
        try {
            Clear();
            AddStrings(s);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit)
        throw EStringListError("リストのインデックスが範囲を超えています (" +
                               std::to_string(index) + ")");
}

void TStrings::Put(int index, const std::string& s) {
    void* o = GetObject(index);
    Delete(index);
    Insert(index, s);
    PutObject(index, o);
}

void* TStrings::GetObject(int index) const {
    (void)index;
    return nullptr;
}

void TStrings::PutObject(int index, void* object) {
    (void)index;
    (void)object;
}

int TStrings::Add(const std::string& s) {
    int i = Count();
    Insert(i, s);
    return i;
}

int TStrings::AddObject(const std::string& s, void* object) {
    int i = Add(s);
    PutObject(i, object);
    return i;
}

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (CompareText(Get(i), s) == 0) return i;
    return -1;
}

void TStrings::Exchange(int a, int b) {
    std::string sa = Get(a), sb = Get(b);
    void *oa = GetObject(a), *ob = GetObject(b);
    Put(a, sb);
    PutObject(a, ob);
    Put(b, sa);
    PutObject(b, oa);
}

void TStrings::Move(int from, int to) {
    if (from == to) return;
    std::string s = Get(from);
    void* o = GetObject(from);
    BeginUpdate();
    Delete(from);
    Insert(to, s);
    PutObject(to, o);
    EndUpdate();
}

void TStrings::AddStrings(const TStrings* other) {
    if (!other) return;
    BeginUpdate();
    for (int i = 0; i < other->Count(); ++i) AddObject(other->Get(i), other->GetObject(i));
    EndUpdate();
}

std::string TStrings::Text() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) r += Get(i) + "\r\n";
    return r;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    Clear();
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
        Add(text.substr(i, j - i));
        if (j < text.size() && text[j] == '\r') ++j;
        if (j < text.size() && text[j] == '\n') ++j;
        i = j;
    }
    EndUpdate();
}

std::string TStrings::CommaText() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) {
        std::string s = Get(i);
        bool quote = s.empty() && Count() == 1; // else a lone empty entry would read as none
        for (unsigned char c : s)
            if (c <= ' ' || c == ',' || c == '"') quote = true;
        if (i > 0) r += ',';
        if (!quote) {
            r += s;
            continue;
        }
        r += '"';
        for (char c : s) {
            if (c == '"') r += '"';
            r += c;
        }
        r += '"';
    }
    return r;
}

void TStrings::SetCommaText(const std::string& text) {
    BeginUpdate();
    try {
        Clear();
        std::size_t i = 0, n = text.size();
        auto blank = [&](std::size_t k) {
            return k < n && static_cast<unsigned char>(text[k]) <= ' ';
        };
        while (blank(i)) ++i;
        while (i < n) {
            std::string item;
            if (text[i] == '"') {
                ++i;
                while (i < n) {
                    if (text[i] == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
                            item += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    item += text[i++];
                }
            } else {
                while (i < n && text[i] != ',' && !blank(i)) item += text[i++];
            }
            Add(item);
            while (blank(i)) ++i;
            if (i < n && text[i] == ',') {
                // A separator that ends the text stands for one more, empty entry.
                if (i + 1 == n) Add("");
                ++i;
                while (blank(i)) ++i;
            }
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::BeginUpdate() {
    if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

// ---- TStringList -------------------------------------------------------------------------

int TStringList::Compare(const std::string& a, const std::string& b) const {
    if (caseSensitive_) return a < b ? -1 : (a == b ? 0 : 1);
    return CompareText(a, b);
}

std::string TStringList::Get(int index) const {
    CheckIndex(index, Count());
    return items_[index].text;
}

void TStringList::Put(int index, const std::string& s) {
    if (sorted_) throw EStringListError("ソートされたリストでは操作できません");
    CheckIndex(index, Count());
    Changing();
    items_[index].text = s;
    Changed();
}

void* TStringList::GetObject(int index) const {
    CheckIndex(index, Count());
    return items_[index].object;
}

void TStringList::PutObject(int index, void* object) {
    CheckIndex(index, Count());
    Changing();
    items_[index].object = object;
    Changed();
}

void TStringList::Insert(int index, const std::string& s) {
    if (sorted_) throw EStringListError("ソートされたリストでは操作できません");
    CheckIndex(index, Count() + 1);
    Changing();
    items_.insert(items_.begin() + index, Item{s, nullptr});
    Changed();
}

int TStringList::Add(const std::string& s) {
    if (!sorted_) {
        Changing();
        items_.push_back(Item{s, nullptr});
        Changed();
        return Count() - 1;
    }
    int index = 0;
    if (Find(s, index)) {
        if (duplicates_ == dupIgnore) return index;
        if (duplicates_ == dupError) throw EStringListError("重複した文字列は追加できません");
    }
    Changing();
    items_.insert(items_.begin() + index, Item{s, nullptr});
    Changed();
    return index;
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    Changing();
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    Changing();
    items_.clear();
    Changed();
}

int TStringList::IndexOf(const std::string& s) const {
    if (sorted_) {
        int i = 0;
        return Find(s, i) ? i : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (Compare(items_[i].text, s) == 0) return i;
    return -1;
}

void TStringList::Exchange(int a, int b) {
    CheckIndex(a, Count());
    CheckIndex(b, Count());
    Changing();
    std::swap(items_[a], items_[b]);
    Changed();
}

bool TStringList::Find(const std::string& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = Compare(items_[mid].text, s);
        if (c < 0)
            lo = mid + 1;
        else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (duplicates_ != dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::SetSorted(bool sorted) {
    if (sorted == sorted_) return;
    if (sorted) Sort();
    sorted_ = sorted;
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return Compare(a.text, b.text) < 0; });
    Changed();
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

} // namespace sv
