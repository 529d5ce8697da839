// A combo box whose list holds a bounded most-recent history (or, without history, its
// ordinary entries) above a fixed number of command entries ("Browse for input
// file...", "Advanced..."); choosing a command entry runs a dialog instead of selecting
// a value. Texts are matched whole and case-insensitively.
#pragma once

#include <QComboBox>

#include <cstdint>

namespace klova {

class HistoryComboBox : public QComboBox {
    Q_OBJECT

public:
    // An editable combo box: typed text stays in the edit field and never enters the
    // list by itself.
    explicit HistoryComboBox(QWidget* parent = nullptr);

    // historyLimit 0: no history, entries are appended. fixedCount: the command entries
    // at the end of the list.
    void SetLimits(int historyLimit, int fixedCount);
    int historyLimit() const { return historyLimit_; }
    int fixedCount() const { return fixedCount_; }

    // Appends the string-table text, or a text, at the end of the list; the edit text
    // and the selection stay as they are.
    void AddStringResource(uint32_t id);
    void AddEntry(const QString& text);

    // The selected entry's text, or the edit text when nothing is selected.
    QString GetCurrentText() const;

    // text := GetCurrentText. A text that matches no entry or an ordinary one gives -1;
    // a command entry empties the text and gives its position among the commands.
    int GetChoice(QString* text) const;

    // The text becomes the newest history entry (the oldest falls out beyond the
    // limit) and is selected; without history it is appended.
    void AddToHistory(const QString& text);

    // An empty text clears the selection. A text not in the list is added to the
    // history; one matching an ordinary entry replaces it, in its own letter case, at
    // the top and is selected; one matching a command entry changes nothing.
    void SelectText(const QString& text);
    void CommitCurrentText() { SelectText(GetCurrentText()); }

    // Sorts every entry by a byte-wise comparison of its UTF-8 text (case-sensitive:
    // "<Uncompressed>" after names beginning with a digit, before those beginning with a
    // letter); the edit text stays.
    void SortEntries();

    // Nothing selected and the text in the edit field.
    void ShowText(const QString& text);

    // Selects the entry matching the text; when none does, shows the text with nothing
    // selected.
    void SelectEntry(const QString& text);

    // The edit text as it was before the user's latest choice from the list: when a
    // choice is reported, the combo already shows the chosen entry.
    QString textBeforeChoice() const { return textBeforeChoice_; }

protected:
    void showPopup() override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int FindExact(const QString& text) const;
    int HistoryCount() const { return count() - fixedCount_; }

    int historyLimit_ = 0;
    int fixedCount_ = 0;
    QString textBeforeChoice_;
};

}  // namespace klova
