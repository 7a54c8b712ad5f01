#pragma once
// A drop-down list bound to a list of values: the items are the values' texts in list
// order, and the selection is read back as the value itself.

#include <QComboBox>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "ui/UiText.h"

namespace ui {

template <typename Value>
class CBindableComboBox : public QComboBox {
public:
    using TextOf = std::function<std::string(const Value&)>;

    explicit CBindableComboBox(TextOf textOf, QWidget* parent = nullptr)
        : QComboBox(parent), textOf_(std::move(textOf)) {
        setEditable(false);
    }

    // Stores the list, empties the control and adds each value's text in order.
    void Bind(std::vector<Value> values) {
        values_ = std::move(values);
        clear();
        for (const Value& v : values_) addItem(ToQt(textOf_(v)));
    }

    // The bound value at the current selection; nothing when no item is selected.
    std::optional<Value> GetSelectedValue() const {
        int i = currentIndex();
        if (i < 0 || static_cast<size_t>(i) >= values_.size()) return std::nullopt;
        return values_[static_cast<size_t>(i)];
    }

    const std::vector<Value>& BoundValues() const { return values_; }

private:
    TextOf textOf_;
    std::vector<Value> values_;
};

// The common case: a choice list of (stored text, display text) pairs showing the
// display text.
using ChoiceItem = std::pair<std::string, std::string>;
class CChoiceComboBox : public CBindableComboBox<ChoiceItem> {
public:
    explicit CChoiceComboBox(QWidget* parent = nullptr)
        : CBindableComboBox<ChoiceItem>([](const ChoiceItem& c) { return c.second; }, parent) {}
};

} // namespace ui
