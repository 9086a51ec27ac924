#pragma once
// A keyed list: text keys with attached objects, in insertion order unless sorted.
// Key lookup is case-insensitive. Owning lists free their objects.

#include <QString>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

template <class T, bool Owns = true>
class TKeyedList {
public:
    struct Entry {
        QString Key;
        T* Object = nullptr;
    };

    TKeyedList() = default;
    ~TKeyedList() { Clear(); }
    TKeyedList(const TKeyedList&) = delete;
    TKeyedList& operator=(const TKeyedList&) = delete;

    int Count() const { return int(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }
    void Reserve(int n) { m_items.reserve(std::size_t(n)); }

    // Appends; an owning list takes the object over. Returns the new position.
    int Add(const QString& key, T* object)
    {
        m_items.push_back({ key, object });
        return Count() - 1;
    }
    int Add(const QString& key, std::unique_ptr<T> object) { return Add(key, object.release()); }

    void Insert(int index, const QString& key, T* object)
    {
        m_items.insert(m_items.begin() + index, Entry { key, object });
    }

    const QString& Key(int i) const { return m_items[std::size_t(i)].Key; }
    void SetKey(int i, const QString& key) { m_items[std::size_t(i)].Key = key; }
    T* Object(int i) const { return m_items[std::size_t(i)].Object; }
    T* operator[](int i) const { return Object(i); }

    int IndexOf(const QString& key) const
    {
        for (int i = 0; i < Count(); ++i)
            if (m_items[std::size_t(i)].Key.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    int IndexOfObject(const T* object) const
    {
        for (int i = 0; i < Count(); ++i)
            if (m_items[std::size_t(i)].Object == object)
                return i;
        return -1;
    }
    T* Find(const QString& key) const
    {
        const int i = IndexOf(key);
        return i < 0 ? nullptr : Object(i);
    }

    // The value part of the first "name=value" key whose name matches.
    QString Value(const QString& name) const
    {
        const QString prefix = name + QLatin1Char('=');
        for (const Entry& e : m_items)
            if (e.Key.startsWith(prefix, Qt::CaseInsensitive))
                return e.Key.mid(prefix.size());
        return {};
    }

    // Removes the entry; an owning list frees its object.
    void Delete(int i)
    {
        T* object = m_items[std::size_t(i)].Object;
        m_items.erase(m_items.begin() + i);
        if constexpr (Owns)
            delete object;
    }
    // Removes the entry and hands its object to the caller.
    T* Extract(int i)
    {
        T* object = m_items[std::size_t(i)].Object;
        m_items.erase(m_items.begin() + i);
        return object;
    }

    void Clear()
    {
        if constexpr (Owns)
            for (Entry& e : m_items)
                delete e.Object;
        m_items.clear();
    }

    // Sorts by key, case-insensitively, keeping the order of equal keys.
    void Sort()
    {
        std::stable_sort(m_items.begin(), m_items.end(), [](const Entry& a, const Entry& b) {
            return a.Key.compare(b.Key, Qt::CaseInsensitive) < 0;
        });
    }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<Entry> m_items;
};
