#include "gui/history_combo_box.h"

#include "gui/string_text.h"

#include <QLineEdit>

#include <algorithm>
#include <utility>
#include <vector>

namespace klova {

HistoryComboBox::HistoryComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed "B" into "Browse for input file...".
    setCompleter(nullptr);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
}

void HistoryComboBox::SetLimits(int historyLimit, int fixedCount)
{
    historyLimit_ = historyLimit;
    fixedCount_ = fixedCount;
}

void HistoryComboBox::AddStringResource(uint32_t id) { AddEntry(StringText(id)); }

void HistoryComboBox::AddEntry(const QString& text)
{
    const int selected = currentIndex();
    const QString shown = currentText();
    addItem(text);  // the first entry of an empty list would select itself
    if (selected < 0)
        ShowText(shown);
}

QString HistoryComboBox::GetCurrentText() const
{
    // The edit field shows the selected entry's text, or what was typed.
    return currentText();
}

int HistoryComboBox::FindExact(const QString& text) const { return findText(text, Qt::MatchFixedString); }

int HistoryComboBox::GetChoice(QString* text) const
{
    *text = GetCurrentText();
    const int index = FindExact(*text);
    if (index < 0 || index < HistoryCount())
        return -1;
    text->clear();
    return index - HistoryCount();
}

void HistoryComboBox::AddToHistory(const QString& text)
{
    if (historyLimit_ == 0) {
        AddEntry(text);
        return;
    }
    const int entries = HistoryCount();
    insertItem(0, text);
    if (entries >= historyLimit_)
        removeItem(entries);  // the oldest history entry, one further down now
    setCurrentIndex(0);
}

void HistoryComboBox::SelectText(const QString& text)
{
    if (text.isEmpty()) {
        setCurrentIndex(-1);
        return;
    }
    const int index = FindExact(text);
    if (index < 0) {
        AddToHistory(text);
    } else if (index < HistoryCount()) {
        removeItem(index);
        insertItem(0, text);
        setCurrentIndex(0);
    }
}

void HistoryComboBox::SortEntries()
{
    std::vector<std::pair<QByteArray, QString>> entries;
    entries.reserve(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i)
        entries.emplace_back(itemText(i).toUtf8(), itemText(i));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const QString shown = currentText();
    clear();
    for (const auto& entry : entries)
        addItem(entry.second);
    ShowText(shown);
}

void HistoryComboBox::ShowText(const QString& text)
{
    setCurrentIndex(-1);
    setEditText(text);
}

void HistoryComboBox::SelectEntry(const QString& text)
{
    const int index = FindExact(text);
    if (index >= 0 && index < HistoryCount())
        setCurrentIndex(index);
    else
        ShowText(text);
}

void HistoryComboBox::showPopup()
{
    textBeforeChoice_ = currentText();
    QComboBox::showPopup();
}

void HistoryComboBox::keyPressEvent(QKeyEvent* event)
{
    // Arrow keys choose entries without the list being open.
    textBeforeChoice_ = currentText();
    QComboBox::keyPressEvent(event);
}

void HistoryComboBox::wheelEvent(QWheelEvent* event)
{
    textBeforeChoice_ = currentText();
    QComboBox::wheelEvent(event);
}

}  // namespace klova
