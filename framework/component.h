#pragma once
// Non-visual core of the framework: components with owners, names, state and removal notices.
// Kept free of Qt Widgets so that non-visual layers (the encoder) can use it.
#include "framework/persistent.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace sv {

// A small set over an enumeration whose values are below 32.
template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items) {
        for (E e : items) bits_ |= Bit(e);
    }
    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr TSet& Include(E e) {
        bits_ |= Bit(e);
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        bits_ &= ~Bit(e);
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TSet&) const = default;
    constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
    constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
    constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
    constexpr std::uint32_t Bits() const { return bits_; }
    static constexpr TSet FromBits(std::uint32_t b) {
        TSet s;
        s.bits_ = b;
        return s;
    }

private:
    static constexpr std::uint32_t Bit(E e) { return std::uint32_t{1} << static_cast<int>(e); }
    std::uint32_t bits_ = 0;
};

enum class TOperation { opInsert, opRemove };
using enum TOperation;

enum class TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning };
using enum TComponentStateItem;
using TComponentState = TSet<TComponentStateItem>;

using TNotifyEvent = std::function<void(TObject* sender)>;

class TComponent;

// Raised for invalid or duplicate component names.
class EComponentError : public Exception {
public:
    using Exception::Exception;
};

// A reference to a component that reads as null once the component has begun to be destroyed.
template <class T> class TGuardedRef {
public:
    TGuardedRef() = default;
    TGuardedRef(T* p) { Reset(p); } // NOLINT: implicit by design, like a plain pointer
    TGuardedRef& operator=(T* p) {
        Reset(p);
        return *this;
    }
    T* Get() const { return alive_ && *alive_ ? ptr_ : nullptr; }
    T* operator->() const { return Get(); }
    explicit operator bool() const { return Get() != nullptr; }
    void Reset(T* p = nullptr);

private:
    T* ptr_ = nullptr;
    std::shared_ptr<const bool> alive_;
};

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    // Raises EComponentError for a name that is not an identifier or that a sibling already has.
    virtual void SetName(const std::string& name);
    std::intptr_t Tag() const { return tag_; }
    void SetTag(std::intptr_t tag) { tag_ = tag; }
    TComponentState ComponentState() const { return state_; }
    // The component as a form designer holds it (csDesigning); design tools and tests set it.
    void SetDesigning(bool designing) {
        if (designing)
            state_.Include(csDesigning);
        else
            state_.Exclude(csDesigning);
    }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(index); }
    int ComponentIndex() const;
    // Case-insensitive, like the names in a form description.
    TComponent* FindComponent(const std::string& name) const;

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    // Frees every owned component, last first, each removal announced to the rest.
    void DestroyComponents();

    // Asks for a removal notice when `component` goes; the link works both ways.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Loading as if from a form description: components created with this one (or an owner
    // that is loading) as owner carry csLoading until EndLoading calls their Loaded, in
    // creation order, and then this component's own.
    void BeginLoading();
    void EndLoading();

    // Marks the component as going and clears guarded references; idempotent.
    void Destroying();

    // The token that guarded references watch.
    std::shared_ptr<const bool> AliveToken() const { return alive_; }

protected:
    virtual void Loaded();
    virtual void Notification(TComponent* component, TOperation operation);
    // Every class with its own destructor calls this first, so that owned components go while
    // the owner is still whole.
    void BeginDestruction();

    TComponentState state_;

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);

    TComponent* owner_ = nullptr;
    std::string name_;
    std::intptr_t tag_ = 0;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
    std::vector<TComponent*> loadedList_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

template <class T> void TGuardedRef<T>::Reset(T* p) {
    ptr_ = p;
    alive_ = p ? static_cast<const TComponent*>(p)->AliveToken() : nullptr;
}

// Frees a component and clears the variable that held it.
template <class T> void FreeAndNil(T*& p) {
    T* q = p;
    p = nullptr;
    delete q;
}

} // namespace sv
