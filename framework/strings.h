#pragma once
// String lists with the framework's comma-text rules.
#include "framework/component.h"

#include <string>
#include <vector>

namespace sv {

// Raised for an index outside the list.
class EStringListError : public Exception {
public:
    using Exception::Exception;
};

class TStrings : public TPersistent {
public:
    std::string ClassName() const override { return "TStrings"; }
    void Assign(const TPersistent* source) override;

    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& s);
    virtual void* GetObject(int index) const;
    virtual void PutObject(int index, void* object);
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& s);
    int AddObject(const std::string& s, void* object);
    virtual int IndexOf(const std::string& s) const;
    virtual void Exchange(int a, int b);
    void Move(int from, int to);
    void AddStrings(const TStrings* other);
    std::string operator[](int index) const { return Get(index); }
    std::string Strings(int index) const { return Get(index); }

    // Lines joined, each followed by CR LF; setting splits at CR LF, LF or CR.
    std::string Text() const;
    void SetText(const std::string& text);
    // Entries separated by commas or blanks; double quotes group (a doubled quote inside is
    // one quote); the writer quotes entries that need it.
    std::string CommaText() const;
    void SetCommaText(const std::string& text);

    void BeginUpdate();
    void EndUpdate();
    // Raises EStringListError unless 0 <= index < limit.
    void CheckIndex(int index, int limit) const;

protected:
    virtual void SetUpdateState(bool updating) { (void)updating; }
    int UpdateCount() const { return updateCount_; }

private:
    int updateCount_ = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };
using enum TDuplicates;

class TStringList : public TStrings {
public:
    std::string ClassName() const override { return "TStringList"; }
    int Count() const override { return static_cast<int>(items_.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void* GetObject(int index) const override;
    void PutObject(int index, void* object) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const std::string& s) override;
    int IndexOf(const std::string& s) const override;
    void Exchange(int a, int b) override;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool sorted);
    void Sort();
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates d) { duplicates_ = d; }
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool v) { caseSensitive_ = v; }
    // Where `s` is or would go in a sorted list.
    bool Find(const std::string& s, int& index) const;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    void Changed();
    void Changing();

private:
    struct Item {
        std::string text;
        void* object = nullptr;
    };
    int Compare(const std::string& a, const std::string& b) const;
    std::vector<Item> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;
};

// Case-insensitive comparison for ASCII letters, bytes otherwise (the framework's sort order).
int CompareText(const std::string& a, const std::string& b);

} // namespace sv
