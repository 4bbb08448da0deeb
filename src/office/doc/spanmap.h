#pragma once

// A value for every position of a text, kept as the positions where the
// value changes: formatting that follows the text as text is inserted.

#include <QtGlobal>
#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

namespace office::doc {

template <class Value>
class SpanMap {
 public:
  struct Segment {
    qsizetype start;
    qsizetype end;
    Value value;
  };

  Value at(qsizetype position) const {
    const auto after = changes_.upper_bound(position);
    return after == changes_.begin() ? Value{} : std::prev(after)->second;
  }

  // Gives [start, end) the value.
  void assign(qsizetype start, qsizetype end, const Value &value) {
    if (start >= end) return;
    const Value behind = at(end);
    changes_.erase(changes_.lower_bound(start), changes_.upper_bound(end));
    changes_[start] = value;
    changes_[end] = behind;
    merge(start);
    merge(end);
  }

  // Makes room for count positions inserted at position; they take the
  // value of the position before (takeBefore) or of the one after.
  void insert(qsizetype position, qsizetype count, bool takeBefore) {
    if (count <= 0) return;
    const Value value = takeBefore && position > 0 ? at(position - 1) : at(position);
    std::map<qsizetype, Value> shifted;
    for (const auto &[from, v] : changes_)
      shifted.emplace(from < position ? from : from + count, v);
    changes_ = std::move(shifted);
    assign(position, position + count, value);
  }

  // The segments of [0, end) whose value differs from Value{}, in order.
  std::vector<Segment> segments(qsizetype end) const {
    std::vector<Segment> result;
    for (auto it = changes_.begin(); it != changes_.end() && it->first < end; ++it) {
      if (it->second == Value{}) continue;
      const auto next = std::next(it);
      result.push_back(
          {it->first, next == changes_.end() ? end : std::min(next->first, end), it->second});
    }
    return result;
  }

 private:
  // Drops the change at position when it changes nothing.
  void merge(qsizetype position) {
    const auto it = changes_.find(position);
    if (it == changes_.end()) return;
    const Value before = it == changes_.begin() ? Value{} : std::prev(it)->second;
    if (it->second == before) changes_.erase(it);
  }

  std::map<qsizetype, Value> changes_;
};

}  // namespace office::doc
