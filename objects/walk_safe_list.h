#pragma once
// `WalkSafeList<I>`: the member list of a render or input group, safe against changes made while it is
// being walked. Members are offered work in list order; the work they do may add or remove members of the
// same list (a click handler registering a new screen, a console line registering a renderable, `Clear` from
// a callback). While a walk is under way:
// - the list storage is never changed, so no member is freed and no position moves under the walker;
// - a removed member (or every member, after Clear) is marked and skipped by the rest of the walk;
// - additions, removals and clears are queued and applied in their order when the outermost walk ends, so a
//   member added during a walk is first visited by the next one.
// Each entry holds one reference. Queued changes and the list reuse their capacity: steady frames allocate
// nothing.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "component/component_ref.h"

template <class I> class WalkSafeList {
public:
    struct Entry {
        ComponentRef<> component;
        I* member = nullptr;
        std::int32_t sortKey = 0;
        bool removed = false;
    };

    // Appends the member (duplicates allowed). With `sorted`, the list is then ordered by the members'
    // keys (asked through keyOf) ascending, equal keys in order of addition.
    template <class KeyOf> void add(IAbstract* component, I* member, bool sorted, KeyOf keyOf) {
        if (m_walks > 0) {
            m_queued.push_back({Change::Add, ComponentRef<>(component), member, sorted});
            return;
        }
        m_entries.push_back({ComponentRef<>(component), member, 0, false});
        if (sorted) {
            sortByKey(keyOf);
        }
    }
    // Removes every occurrence of the component.
    void remove(IAbstract* component) {
        if (m_walks > 0) {
            for (Entry& entry : m_entries) {
                if (entry.component.get() == component) {
                    entry.removed = true;
                }
            }
            m_queued.push_back({Change::Remove, ComponentRef<>(component), nullptr, false});
            return;
        }
        std::erase_if(m_entries,
                      [component](const Entry& entry) { return entry.component.get() == component; });
    }
    void clear() {
        if (m_walks > 0) {
            for (Entry& entry : m_entries) {
                entry.removed = true;
            }
            m_queued.push_back({Change::Clear, nullptr, nullptr, false});
            return;
        }
        m_entries.clear();
    }

    // Calls visit(member) for each member in order until it answers true; whether one did. Members removed
    // during the walk are skipped, members added are not visited. `keyOf` orders queued sorted additions.
    template <class Visit, class KeyOf> bool walk(Visit visit, KeyOf keyOf) {
        ++m_walks;
        bool stopped = false;
        const std::size_t count = m_entries.size();
        for (std::size_t i = 0; i < count && !stopped; ++i) {
            if (!m_entries[i].removed) {
                stopped = visit(m_entries[i].member);
            }
        }
        if (--m_walks == 0 && !m_applying) {
            applyQueued(keyOf);
        }
        return stopped;
    }

    std::size_t size() const { return m_entries.size(); }
    const Entry& operator[](std::size_t i) const { return m_entries[i]; }

private:
    enum class Change : std::uint8_t { Add, Remove, Clear };
    struct Queued {
        Change change;
        ComponentRef<> component;
        I* member;
        bool sorted;
    };

    // A stable insertion sort: an entry moves before an earlier one only when its key is strictly smaller.
    // The keys are asked once per sort, with the list marked as walked, because asking may run script code
    // that changes this list.
    template <class KeyOf> void sortByKey(KeyOf keyOf) {
        ++m_walks;
        for (Entry& entry : m_entries) {
            entry.sortKey = keyOf(entry.member);
        }
        for (std::size_t i = 1; i < m_entries.size(); ++i) {
            for (std::size_t j = i; j > 0 && m_entries[j].sortKey < m_entries[j - 1].sortKey; --j) {
                std::swap(m_entries[j], m_entries[j - 1]);
            }
        }
        if (--m_walks == 0 && !m_applying) {
            applyQueued(keyOf);
        }
    }

    template <class KeyOf> void applyQueued(KeyOf keyOf) {
        // Applying may sort, which may queue again; take the queue in rounds.
        m_applying = true;
        while (!m_queued.empty()) {
            std::swap(m_round, m_queued);
            for (Queued& queued : m_round) {
                switch (queued.change) {
                case Change::Add:
                    add(queued.component.get(), queued.member, queued.sorted, keyOf);
                    break;
                case Change::Remove:
                    remove(queued.component.get());
                    break;
                case Change::Clear:
                    clear();
                    break;
                }
            }
            m_round.clear();
        }
        m_applying = false;
    }

    std::vector<Entry> m_entries;
    std::vector<Queued> m_queued;
    std::vector<Queued> m_round; // the queue being applied
    int m_walks = 0;
    bool m_applying = false;
};
