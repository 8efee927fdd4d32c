#pragma once

#include "core/model/stream.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace foresyn {

// An owning, ordered list of model objects that writes and reads itself as
// a Version, an Int32 count and the items' records. Items are destroyed when
// they leave the list (Delete, Remove, Clear) and with the list; Take hands
// one out instead. Subclasses say how an item is written and read and append
// their own fields after the list part of their record.
template <class Item> class TGeneralList {
public:
    using ChangeHandler = std::function<void(TGeneralList&)>;

    TGeneralList() = default;
    TGeneralList(const TGeneralList&) = delete;
    TGeneralList& operator=(const TGeneralList&) = delete;
    virtual ~TGeneralList() = default;

    // Kept as read and written back; nothing consults it.
    double Version() const noexcept { return version_; }
    void SetVersion(double v) noexcept { version_ = v; }

    int Count() const noexcept { return int(items_.size()); }
    Item& At(int index) const { return *items_[CheckedIndex(index)]; }
    int IndexOf(const Item* item) const noexcept {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i].get() == item) {
                return int(i);
            }
        }
        return -1;
    }

    // Appends the item and fires OnChange.
    virtual void Add(std::unique_ptr<Item> item) {
        items_.push_back(std::move(item));
        Changed();
    }
    // Inserts before index (0 .. Count); fires nothing.
    void Insert(int index, std::unique_ptr<Item> item) {
        if (index < 0 || index > Count()) {
            throw std::out_of_range("list index " + std::to_string(index) + " out of range");
        }
        items_.insert(items_.begin() + index, std::move(item));
    }
    // Deletes the item if it is in the list; otherwise nothing.
    void Remove(const Item* item) {
        const int i = IndexOf(item);
        if (i >= 0) {
            Delete(i);
        }
    }
    // Destroys the item at index; fires OnChange.
    void Delete(int index) {
        items_.erase(items_.begin() + CheckedIndex(index));
        Changed();
    }
    // Takes the item at index out of the list without destroying it.
    std::unique_ptr<Item> Take(int index) {
        const std::size_t i = CheckedIndex(index);
        std::unique_ptr<Item> item = std::move(items_[i]);
        items_.erase(items_.begin() + i);
        Changed();
        return item;
    }
    // Destroys every item, first to last; fires OnChange.
    void Clear() {
        for (auto& item : items_) {
            item.reset();
        }
        items_.clear();
        Changed();
    }
    void Exchange(int i, int j) {
        const std::size_t a = CheckedIndex(i);
        const std::size_t b = CheckedIndex(j);
        std::swap(items_[a], items_[b]);
        Changed();
    }

    // Suspends OnChange until the matching EndUpdate, which fires it once.
    // Pairs nest: only the outermost EndUpdate restores and fires, so a
    // nested pair cannot lose the handler.
    void BeginUpdate() {
        if (updateDepth_++ == 0) {
            saved_ = std::move(OnChange);
            OnChange = nullptr;
        }
    }
    void EndUpdate() {
        if (updateDepth_ == 0) {
            return;
        }
        if (--updateDepth_ == 0) {
            OnChange = std::move(saved_);
            saved_ = nullptr;
            Changed();
        }
    }

    ChangeHandler OnChange;

protected:
    // Writes Version, Count and every item through WriteItem.
    void SaveListTo(TStreamWriter& out) const {
        out.WriteDouble(version_);
        out.WriteInt32(Count());
        for (int i = 0; i < Count(); ++i) {
            WriteItem(i, out);
        }
    }
    // Reads Version and the items through ReadItem; minItemBytes is the
    // smallest record an item can have, so an impossible count is refused
    // before anything is allocated for it.
    void ReadListFrom(TStreamReader& in, const char* what, std::size_t minItemBytes) {
        version_ = in.ReadDouble("list version");
        const std::int32_t n = in.ReadCount(what, minItemBytes);
        items_.clear();
        items_.reserve(std::size_t(n));
        for (std::int32_t i = 0; i < n; ++i) {
            items_.push_back(ReadItem(in));
        }
    }

    virtual void WriteItem(int index, TStreamWriter& out) const = 0;
    virtual std::unique_ptr<Item> ReadItem(TStreamReader& in) = 0;

    std::vector<std::unique_ptr<Item>>& Items() noexcept { return items_; }
    const std::vector<std::unique_ptr<Item>>& Items() const noexcept { return items_; }

private:
    std::size_t CheckedIndex(int index) const {
        if (index < 0 || index >= Count()) {
            throw std::out_of_range("list index " + std::to_string(index) + " out of range 0.." +
                                    std::to_string(Count() - 1));
        }
        return std::size_t(index);
    }
    void Changed() {
        if (OnChange) {
            OnChange(*this);
        }
    }

    double version_ = 1.0;
    std::vector<std::unique_ptr<Item>> items_;
    ChangeHandler saved_;
    int updateDepth_ = 0;
};

} // namespace foresyn
