#pragma once

#include <cstddef>
#include <deque>
#include <utility>

namespace korvane {

// The steps of the work that Undo and Redo walk through: each entry is the state before one step
// (Undo) or after it (Redo). A new step forgets what could be redone; the oldest steps are
// forgotten past kMostSteps.
template <typename State> class CUndoHistory {
public:
    static constexpr std::size_t kMostSteps = 100;

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }

    // A step was taken from the state before.
    void Record(State before) {
        m_undo.push_back(std::move(before));
        if (m_undo.size() > kMostSteps)
            m_undo.pop_front();
        m_redo.clear();
    }
    // The state to go back to, given the current one (which Redo returns to); nothing to undo
    // returns current unchanged.
    State Undo(State current) { return Step(m_undo, m_redo, std::move(current)); }
    State Redo(State current) { return Step(m_redo, m_undo, std::move(current)); }
    void Forget() {
        m_undo.clear();
        m_redo.clear();
    }

private:
    static State Step(std::deque<State>& from, std::deque<State>& to, State current) {
        if (from.empty())
            return current;
        State target = std::move(from.back());
        from.pop_back();
        to.push_back(std::move(current));
        return target;
    }

    std::deque<State> m_undo;
    std::deque<State> m_redo;
};

} // namespace korvane
